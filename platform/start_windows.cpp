/* The Windows start-up: mingw's runtime sets up the process, resets the
 * floating-point unit its own way (_fpreset) and runs the constructors,
 * then enters WinMain.  This constructor, run after that reset, hands
 * WinMain the x87 unit the program expects. */
#if defined(__i386__) || defined(__x86_64__)

/* Extended precision, round to nearest; invalid operation, zero divide and
   overflow unmasked. */
__attribute__((constructor)) static void set_up_fp_unit(void)
{
    static const unsigned short control_word = 0x1332;
    __asm__ volatile("fninit\n\tfldcw %0" : : "m"(control_word));
}

#endif
