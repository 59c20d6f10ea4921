/*
 * Firmware whose flash starts at address 0, as on many Cortex-M parts: it holds its texts compiled in
 * (Lexicorn.c), a newer image is merged into it, and it looks for its texts from address 0 on. It says
 * what it found through semihosting, which qemu passes to its own standard output, and ends qemu.
 */
#include "LXNApiCfg.h" /* includes Lexicorn.h */
#include "StringList.h"

/* A semihosting call: the debugger, here qemu, carries it out at the breakpoint. */
static void semihost(int operation, const void* argument) {
    register int r0 __asm__("r0") = operation;
    register const void* r1 __asm__("r1") = argument;
    __asm__ volatile("bkpt 0xAB" : "+r"(r0) : "r"(r1) : "memory");
}

static void say(const char* text) { semihost(0x04 /* SYS_WRITE0 */, text); }

static void say_result(lxn_result result) {
    static const char* const names[] = {"OK", "argument", "signature", "damaged", "config", "not found"};
    say((unsigned)result < sizeof names / sizeof names[0] ? names[result] : "another error");
}

int main(void) {
    lxn_image image;
    uint32_t german = 0;
    char text[64];
    lxn_result result = lxn_attach_embedded(&image);
    say("lxn_attach_embedded: ");
    say_result(result);
    result = lxn_attach(&image, NULL, FLASH_SIZE);
    say("\nlxn_attach of NULL: ");
    say_result(result);
    result = lxn_find(&image, NULL, FLASH_SIZE);
    say("\nlxn_find from address 0: ");
    say_result(result);
    if (result == LXN_OK && lxn_find_language(&image, "de", &german) == LXN_OK &&
        lxn_get_string(&image, german, READY_TEXT, text, sizeof text, NULL) == LXN_OK) {
        say(", READY_TEXT in German: ");
        say(text);
    }
    say("\n");
    semihost(0x18 /* SYS_EXIT */, (const void*)0x20026 /* ADP_Stopped_ApplicationExit */);
    return 0;
}
