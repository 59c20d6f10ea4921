/*
 * The start of the firmware: the vector table that the processor reads at reset, and the reset
 * handler that lays out memory as C expects it (lookup.ld says where) and runs main.
 */
#include <stdint.h>

extern uint32_t stack_top, data_load, data_start, data_end, bss_start, bss_end;
int main(void);

void reset_handler(void);
void reset_handler(void) {
    const uint32_t* from = &data_load;
    /* Word by word: a loop the compiler could turn into memcpy or memset would link them. */
    volatile uint32_t* to;
    for (to = &data_start; to < &data_end;) *to++ = *from++;
    for (to = &bss_start; to < &bss_end;) *to++ = 0;
    main();
    for (;;) continue;
}

static void halt(void) {
    for (;;) continue;
}

/* The stack's top, then the handlers of reset, NMI and hard fault. */
__attribute__((section(".vectors"), used)) static const uintptr_t vectors[] = {
    (uintptr_t)&stack_top, (uintptr_t)reset_handler, (uintptr_t)halt, (uintptr_t)halt};
