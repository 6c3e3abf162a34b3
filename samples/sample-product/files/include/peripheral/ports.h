/* Port definitions for the sample target. */
#define PORTA (*(volatile unsigned char *)0x05)
#define PORTB (*(volatile unsigned char *)0x06)
