#include <demo.h>
int main(void) { return demo_init(); }
