/* pe_header.S: the headers of a Windows CE executable, written as data:
 * DOS header, PE file header, PE32 optional header and section table. Every
 * address and size is an expression over the symbols wince.ld defines.
 * Only .byte, .short and .long are used: they mean the same in every CPU's
 * assembler. The build gives the CPU's machine type as PE_MACHINE. */
#ifndef PE_MACHINE
#error PE_MACHINE: 0x01C0 (ARM), 0x0166 (MIPS R4000) or 0x01A2 (SH-3)
#endif
#define BASE 0x10000
#define RVA(s) ((s) - BASE)

        .section .pehdr, "a"
        .p2align 2
/* IMAGE_DOS_HEADER: only e_magic and e_lfanew matter to the CE loader, so
 * there is no DOS stub program after it. */
        .ascii  "MZ"
        .short  0x90, 3, 0, 4, 0, 0xFFFF, 0, 0xB8, 0, 0, 0, 0x40, 0
        .fill   4, 2, 0
        .short  0, 0
        .fill   10, 2, 0
        .long   pe_signature - BASE     /* e_lfanew: in the headers, RVA == file offset */
pe_signature:
        .ascii  "PE\0\0"
/* IMAGE_FILE_HEADER */
        .short  PE_MACHINE              /* ARM (ARM state), R4000 (MIPS) or SH-3, little-endian */
        .short  3                       /* sections: .text .data .rsrc */
        .long   0                       /* no time stamp: same sources, same file */
        .long   0, 0                    /* no COFF symbol table */
        .short  optional_end - optional_start
        /* RELOCS_STRIPPED: the image runs only at 0x10000, where every CE
         * process has its own slot. EXECUTABLE_IMAGE, LINE_NUMS_STRIPPED,
         * LOCAL_SYMS_STRIPPED, 32BIT_MACHINE. */
        .short  0x010F
/* IMAGE_OPTIONAL_HEADER32 */
optional_start:
        .short  0x010B                  /* PE32 */
        .byte   6, 0                    /* linker version, informational */
        .long   __text_rawsz            /* SizeOfCode */
        .long   __initdata_size         /* SizeOfInitializedData */
        .long   0                       /* SizeOfUninitializedData: .bss lives in .data */
        .long   RVA(WinMainCRTStartup)  /* AddressOfEntryPoint */
        .long   RVA(__text_start)       /* BaseOfCode */
        .long   RVA(__data_start)       /* BaseOfData */
        .long   BASE                    /* ImageBase */
        .long   __sect_align, __file_align
        .short  3, 0                    /* OperatingSystemVersion: CE 3.00 */
        .short  0, 0                    /* ImageVersion */
        .short  3, 0                    /* SubsystemVersion: loads on CE 3.00 and later */
        .long   0                       /* Win32VersionValue */
        .long   RVA(__image_end)        /* SizeOfImage */
        .long   __headers_size          /* SizeOfHeaders */
        .long   0                       /* CheckSum: not checked for applications */
        .short  9                       /* IMAGE_SUBSYSTEM_WINDOWS_CE_GUI */
        .short  0                       /* DllCharacteristics */
        .long   0x10000, 0x1000         /* stack reserve, commit */
        .long   0x100000, 0x1000        /* heap reserve, commit */
        .long   0                       /* LoaderFlags */
        .long   16                      /* NumberOfRvaAndSizes */
        .long   0, 0                                  /* 0 exports */
        .long   RVA(__idata_dir), __idata_dir_size    /* 1 imports */
        .long   RVA(__rsrc_start), __rsrc_vsize       /* 2 resources */
        .long   0, 0                                  /* 3 exceptions: no unwinding */
        .long   0, 0                                  /* 4 security */
        .long   0, 0                                  /* 5 base relocations: stripped */
        .long   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0    /* 6-11 */
        .long   RVA(__iat_start), __iat_size          /* 12 import address tables */
        .long   0, 0, 0, 0, 0, 0                      /* 13-15 */
optional_end:
/* Section table: name, virtual size, RVA, raw size, file offset, no
 * relocations or line numbers, characteristics. */
        .ascii  ".text\0\0\0"
        .long   __text_vsize, RVA(__text_start), __text_rawsz, __text_foff
        .long   0, 0
        .short  0, 0
        .long   0x60000020              /* code, execute, read */
        .ascii  ".data\0\0\0"
        .long   __data_vsize, RVA(__data_start), __data_rawsz, __data_foff
        .long   0, 0
        .short  0, 0
        .long   0xC0000040              /* initialised data, read, write */
        .ascii  ".rsrc\0\0\0"
        .long   __rsrc_vsize, RVA(__rsrc_start), __rsrc_rawsz, __rsrc_foff
        .long   0, 0
        .short  0, 0
        .long   0x40000040              /* initialised data, read */
