/* The smallest 32-bit x86 Linux program: exits with 42. Tells whether this
   kernel runs 32-bit programs at all. */
void _start(void) {
    __asm__ volatile("movl $1, %eax\n\tmovl $42, %ebx\n\tint $0x80");
}
