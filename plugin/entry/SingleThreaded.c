/* The C++ runtime linked into the plug-in reads this flag to skip atomic
 * reference counts and locks while a process has one thread.  The C library
 * defines it only from 2.32 on, so taking it from there would stop the
 * plug-in loading on older systems.  This hidden definition binds the
 * runtime's references inside the plug-in instead; 0 means "assume several
 * threads", which is always correct, only a little slower. */
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;
