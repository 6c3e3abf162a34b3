#ifndef DEMO_H
#define DEMO_H
/* Sample header of the DemoC compiler suite. */
int demo_init(void);
#endif
