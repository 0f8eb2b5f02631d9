#!/bin/bash
# Rebuilds every generated file of the program folder (assets/) from the
# sources kept under tools/:
#
#   tools/generate-assets.sh
#
# Needs: Qt 6 (qt6-base-dev) and CMake to build tools/drawassets, ImageMagick
# (convert), sox, bc, espeak-ng with its Italian voice, fonts-liberation, python3.
# See tools/README.md.
# The outputs are committed: building the program never runs this script.
#
#   tools/drawassets.cpp        -> assets/immagini/*.bmp, *.png, salAnim.gif, assets/animazio/*.gif,
#                                  the desktop icon in data/icons/
#   tools/generate-assets.sh    -> assets/animazio/*1.txt (scripts), assets/audio/*.wav
#   tools/make_texts.py + tools/sources/ -> instruction texts, testi/, esercizi/
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(dirname "$here")"
assets="$repo/assets"
build="${SALIENTA_TOOLS_BUILD:-$repo/build-assets/drawassets}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for tool in cmake convert sox bc espeak-ng python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# 1. pictures
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
QT_QPA_PLATFORM=offscreen "$build/drawassets" "$work"

mkdir -p "$assets/immagini" "$assets/animazio" "$assets/audio"
for b in nonBu1 nonBu2 impBu1 impBu2 moltoBu1 moltoBu2 scritta; do
    # 24-bit: the title's key colour must stay exact
    convert "$work/immagini/$b.png" -type TrueColor "BMP3:$assets/immagini/$b.bmp"
done
convert "$work/immagini/cover.png" -dither None -colors 256 -type Palette \
    "BMP3:$assets/immagini/cover.bmp"
# the main window's button pictures keep their transparency
for b in archivio esecuzione; do
    cp "$work/immagini/$b.png" "$assets/immagini/$b.png"
done
# the desktop icon, in the hicolor theme's layout
icons="$repo/data/icons/hicolor"
for size in 48 64 128 256; do
    mkdir -p "$icons/${size}x${size}/apps"
    cp "$work/icona/$size.png" "$icons/${size}x${size}/apps/it.salienta.Salienta.png"
done
mkdir -p "$icons/scalable/apps"
cp "$work/icona/icona.svg" "$icons/scalable/apps/it.salienta.Salienta.svg"

make_gif() {   # frames folder, output file
    local args=() i=0 d
    mapfile -t delays < "$1/delays.txt"
    for f in "$1"/f*.png; do
        d="${delays[$i]}"
        args+=(-delay "$d" "$f")
        i=$((i + 1))
    done
    # no dithering: flat areas keep their exact colour, gradients show no grain
    convert -loop 0 "${args[@]}" -dither None -layers Optimize "$2"
}
make_gif "$work/frames/salAnim" "$assets/immagini/salAnim.gif"

# 2. feedback scripts, pictures and sounds, one per feedback kind
declare -A message=(
  [spieEs]="L'esercizio consiste nell'evidenziare le frasi più importanti scegliendo il comando rosso o celeste. Se vuoi correggere, usa il comando bianco."
  [selErr]="Nelle ultime frasi hai commesso un errore notevole. Vuoi tornare indietro di alcune frasi?"
  [priErr]="Nella prima parte hai commesso troppi errori. Vuoi ripartire dal principio?"
  [priOk]="Stai andando bene, continua così!"
  [secErr]="Nella seconda parte hai commesso troppi errori. Vuoi rivedere la seconda parte?"
  [giuBuo]="L'esercizio è finito. Sei andato bene, bravo!"
  [giuDis]="L'esercizio è finito. Sei andato abbastanza bene, ma puoi migliorare."
  [giuNon]="L'esercizio è finito. Non sei andato molto bene, la prossima volta stai più attento."
)
# notes of the chime before the spoken message (Hz)
declare -A chime=(
  [spieEs]="523.25 659.25 783.99"
  [selErr]="783.99 659.25"
  [priErr]="783.99 659.25"
  [priOk]="659.25 783.99 1046.50"
  [secErr]="783.99 659.25"
  [giuBuo]="523.25 659.25 783.99 1046.50"
  [giuDis]="523.25 659.25 783.99"
  [giuNon]="659.25 587.33 659.25"
)
declare -A caption=(
  [spieEs]="come si svolge l'esercizio"
  [selErr]="torna indietro di alcune frasi"
  [priErr]="riparti dal principio"
  [priOk]="continua così"
  [secErr]="rivedi la seconda parte"
  [giuBuo]="esercizio finito: bravo"
  [giuDis]="esercizio finito: puoi migliorare"
  [giuNon]="esercizio finito: più attenzione"
)
for kind in spieEs selErr priErr priOk secErr giuBuo giuDis giuNon; do
    make_gif "$work/frames/$kind" "$assets/animazio/$kind.gif"
    # the script: the picture block names the animated picture; no sprites
    python3 "$here/make_texts.py" script "$assets/animazio/${kind}1.txt" \
        "$kind.gif" "${caption[$kind]}"

    parts=()
    n=0
    for hz in ${chime[$kind]}; do
        sox -R -D -n -r 22050 -c 1 -b 16 "$work/n$n.wav" synth 0.22 sine "$hz" sine "$(echo "$hz * 2" | bc -l)" \
            remix - fade q 0.005 0.22 0.16 vol 0.5
        parts+=("$work/n$n.wav")
        n=$((n + 1))
    done
    sox -R -D -n -r 22050 -c 1 -b 16 "$work/gap.wav" trim 0 0.25
    espeak-ng -v roa/it -s 140 -p 55 -w "$work/voice.wav" "${message[$kind]}"
    # espeak-ng ends with a long pause: cut it
    sox -R -D "$work/voice.wav" -r 22050 -c 1 -b 16 "$work/voice22.wav" reverse silence 1 0.02 0.2% reverse
    sox -R -D "${parts[@]}" "$work/gap.wav" "$work/voice22.wav" -r 16000 -c 1 -b 16 \
        "$assets/audio/${kind}1.wav" norm -1
done

# 3. texts: instruction texts, sample texts, sample exercises and their name table
python3 "$here/make_texts.py" all "$here/sources" "$assets"

echo "program folder regenerated in $assets"
