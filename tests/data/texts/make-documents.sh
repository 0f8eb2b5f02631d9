#!/usr/bin/env bash
# Makes the documents of this folder with LibreOffice from citta.fodt (a
# flat OpenDocument text: a title, paragraphs, a word whose end is bold, a
# comment, a footnote, a page header and a second page). Needs the packages
# libreoffice-writer and python3-uno; run it here, then check the files in.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert() { soffice --headless --convert-to "$1" --outdir "$work" "$2" >/dev/null 2>&1; }

convert odt citta.fodt && cp "$work/citta.odt" .
convert docx citta.fodt && cp "$work/citta.docx" .
convert pdf citta.fodt && cp "$work/citta.pdf" .
convert doc citta.fodt && cp "$work/citta.doc" vecchio.doc

# A PDF that asks for a password before it opens.
convert 'pdf:writer_pdf_Export:{"EncryptFile":{"type":"boolean","value":"true"},"DocumentOpenPassword":{"type":"string","value":"segreto"}}' citta.fodt
cp "$work/citta.pdf" protetto.pdf

# An OpenDocument text saved with a password.
python3 make-protected.py citta.odt protetto.odt

# An empty document.
sed -e '/<office:text>/,/<\/office:text>/{/<office:text>/!{/<\/office:text>/!d}}' citta.fodt > "$work/vuoto.fodt"
convert odt "$work/vuoto.fodt" && cp "$work/vuoto.odt" .

# A scan: the first page as a picture, with no text layer.
pdftoppm -r 40 -gray -png -f 1 -l 1 citta.pdf "$work/pagina"
picture=$(base64 -w0 "$work"/pagina*.png)
cat > "$work/scansione.fodt" <<FODT
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:body><office:text><text:p><draw:frame svg:width="16cm" svg:height="22.6cm" text:anchor-type="as-char">
  <draw:image><office:binary-data>$picture</office:binary-data></draw:image>
 </draw:frame></text:p></office:text></office:body>
</office:document>
FODT
convert pdf "$work/scansione.fodt" && cp "$work/scansione.pdf" .

# A Word document cut short, as an interrupted copy leaves it.
head -c 3000 citta.docx > danneggiato.docx
