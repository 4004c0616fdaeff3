#!/bin/sh
# Exits 0 when this machine's kernel runs 32-bit x86 programs, which the 32-bit Wine needs: some
# 64-bit kernels are built without that support, and there an installed 32-bit Wine cannot start
# ("Exec format error"). The probe is the smallest 32-bit Linux program: it only exits with 0.
set -eu
probe=$(mktemp "${TMPDIR:-/tmp}/kestrune-elf32-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes), then: xor ebx,ebx; mov eax,1; int 0x80.
printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\061\333\270\001\000\000\000\315\200' >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
