#!/usr/bin/env bash
# Makes the demo's voices from text: espeak-ng speaks each prompt, sox turns
# it into the lines' voice form (8 kHz mono A-law WAV). Voices already made
# are kept. Usage: demo/make_voices.sh [folder]   (default: demo/voc/en)
set -euo pipefail

dir="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/voc/en}"
mkdir -p "$dir"
speech="$(mktemp --suffix=.wav)"
trap 'rm -f "$speech"' EXIT

say() {
  local name=$1 text=$2
  [[ -s "$dir/$name.WAV" ]] && return 0
  espeak-ng -v en-us -s 150 -w "$speech" "$text"
  sox "$speech" -r 8000 -c 1 -e a-law -b 8 -t wav "$dir/$name.WAV"
}

say welcome "Welcome to the v t tel demonstration."
say menu "Press 1 to hear your number. Press 2 to leave a message. Then press the hash key."
say yournumber "Your number is"
say record "Please speak your message, and press the hash key when you are done."
say thanks "Thank you. Your message has been recorded."
say goodbye "Goodbye."
digits=(zero one two three four five six seven eight nine)
for d in "${!digits[@]}"; do say "$d" "${digits[$d]}"; done
