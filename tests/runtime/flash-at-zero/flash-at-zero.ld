/* The memory of qemu's lm3s6965evb, a Cortex-M3: 256 KB of flash from address 0, 64 KB of RAM. */
MEMORY
{
    FLASH (rx) : ORIGIN = 0x00000000, LENGTH = 256K
    RAM (rwx) : ORIGIN = 0x20000000, LENGTH = 64K
}
ENTRY(reset_handler)

SECTIONS
{
    .text : {
        KEEP(*(.vectors))
        *(.text*)
        *(.rodata*)
        . = ALIGN(4);
    } > FLASH
    .ARM.exidx : { *(.ARM.exidx*) } > FLASH
    .data : {
        data_start = .;
        *(.data*)
        . = ALIGN(4);
        data_end = .;
    } > RAM AT > FLASH
    data_load = LOADADDR(.data);
    .bss (NOLOAD) : {
        bss_start = .;
        *(.bss*)
        *(COMMON)
        . = ALIGN(4);
        bss_end = .;
    } > RAM
    stack_top = ORIGIN(RAM) + LENGTH(RAM);
}
