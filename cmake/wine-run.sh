#!/bin/sh
# Runs a Windows program under Wine with the address space laid out the same at every start:
#   wine-run.sh PROGRAM.EXE [ARGUMENTS...]
# Debian's wine64 has no preloader. Its loader sits at 0x7d000000, and with randomisation the
# kernel starts the loader's heap anywhere in the gigabyte above it; about once in two
# thousand starts the heap covers 0x7ffe0000, where Wine must map the shared user data, and
# the program ends unrun ("failed to map the shared user data: c0000018"), which failed a
# test now and then. Without randomisation the heap starts right after the loader, every
# time. The setting is inherited, so the programs a Windows program starts get it too.
# Where the kernel refuses it (a container's seccomp profile), Wine runs as it is.
machine=$(uname -m)
if setarch "$machine" -R true 2>/dev/null; then
  exec setarch "$machine" -R wine "$@"
fi
exec wine "$@"
