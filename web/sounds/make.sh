#!/usr/bin/env bash
# Makes the page's sounds with sox (Debian's `sox` package): short tones, small enough to load
# with the page. The WAV files are kept in the repository; this remakes them.
set -euo pipefail
cd "$(dirname "$0")"
format=(-r 11025 -b 8 -c 1)
# tone FILE SECONDS GENERATOR... [EFFECT...]: a tone that starts without a click and fades out.
tone() { sox -R -n "${format[@]}" "$1" synth "$2" "${@:3}" fade q 0.003 "$2" 0.05; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# A move: a light tap. A capture: a deeper, fuller knock.
tone move.wav 0.08 pluck A4 gain -n -8
tone "$tmp/low.wav" 0.13 pluck D3
tone "$tmp/high.wav" 0.13 pluck D4
sox -R -m "$tmp/low.wav" "$tmp/high.wav" capture.wav gain -n -6
# A check: two quick rising beeps.
tone "$tmp/c1.wav" 0.09 sine 880 gain -n -12
tone "$tmp/c2.wav" 0.11 sine 1175 gain -n -12
sox -R "$tmp/c1.wav" "$tmp/c2.wav" check.wav
# The end of a game: three falling notes.
for note in C5 G4 C4; do tone "$tmp/$note.wav" 0.14 pluck "$note" gain -n -8; done
sox -R "$tmp/C5.wav" "$tmp/G4.wav" "$tmp/C4.wav" end.wav
