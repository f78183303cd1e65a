#!/usr/bin/env bash
# Exits 0 when this machine runs i686 Linux programs: builds a tiny one with the multilib
# compiler and runs it. Some virtual machines' kernels refuse them ("Exec format error").
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'int main(void) { return 0; }\n' >"$work/probe.c"
gcc -m32 "$work/probe.c" -o "$work/probe" 2>/dev/null && "$work/probe" 2>/dev/null
