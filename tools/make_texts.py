#!/usr/bin/env python3
"""Writes the text files of Salienta's program folder from tools/sources/.

  make_texts.py all <sources> <assets>
      instruction texts  sources/istruzioni/*.txt -> assets/*.txt
      sample texts       sources/testi/*.txt      -> assets/testi/*.txt
      sample exercises   sources/esercizi/*.ese   -> assets/esercizi/*.S01 + LONGNAME.LST
  make_texts.py list <text file>
      prints the sentences of a text, numbered, to help write an .ese file
  make_texts.py script <out file> <picture> <caption>
      writes one feedback animation script

Sources are UTF-8 with LF; every file written is windows-1252 with CR LF,
the stored format of the program.

An exercise source (.ese) has lines "key: value":
  nome: long name of the exercise (as listed in the program)
  testo: file name of a text in sources/testi
  compito: one line of the task (the key may repeat: one line each)
  livelli: one letter per sentence, n = non importante, i = importante,
           m = molto importante (spaces ignored; the key may repeat)
"""

import os
import re
import sys

RESERVED = set("~[]")
TAGS = {"n": "~nonImportante~", "i": "~importante~", "m": "~moltoImportante~"}


def fail(msg):
    sys.stderr.write("make_texts: " + msg + "\n")
    sys.exit(1)


def read_source(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if "\r" in text:
        fail(path + ": sources use LF line ends")
    return text.split("\n")[:-1] if text.endswith("\n") else text.split("\n")


def write_stored(path, lines):
    """windows-1252, every line ended by CR LF, at most 255 characters a line."""
    for n, line in enumerate(lines, 1):
        if len(line) > 255:
            fail("%s: line %d longer than 255 characters" % (path, n))
    try:
        data = "".join(line + "\r\n" for line in lines).encode("cp1252")
    except UnicodeEncodeError as e:
        fail("%s: character outside windows-1252: %r" % (path, e.object[e.start:e.end]))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def check_plain(path, lines):
    for n, line in enumerate(lines, 1):
        if RESERVED & set(line):
            fail("%s: line %d holds a reserved character ~ [ ]" % (path, n))


def split_sentences(lines):
    """The program's own conversion of a plain text with the separator '.':
    returns the sentences, each a list of pieces (one per source line)."""
    sentences = [[]]
    for line in lines:
        rest = line
        while "." in rest:
            p = rest.index(".") + 1
            sentences[-1].append(rest[:p].strip(" "))
            sentences.append([])
            rest = rest[p:]
        rest = rest.strip(" ")
        if rest:
            sentences[-1].append(rest)
    if not sentences[-1]:
        sentences.pop()
    return [" ".join(piece for piece in s if piece) for s in sentences]


def wrap(text, width=64):
    words = text.split(" ")
    if not text.strip():
        return [""]
    lines, current = [], ""
    for w in words:
        if not w:
            continue
        if current and len(current) + 1 + len(w) > width:
            lines.append(current)
            current = w
        else:
            current = w if not current else current + " " + w
    if current:
        lines.append(current)
    return lines or [""]


def base_name(long_name):
    base = ""
    for ch in long_name:
        if ch.isascii() and ch.isalnum():
            base += ch.upper()
            if len(base) == 8:
                break
    return base


def build_exercises(sources, assets):
    out_dir = os.path.join(assets, "esercizi")
    os.makedirs(out_dir, exist_ok=True)
    for old in os.listdir(out_dir):
        if re.fullmatch(r".*\.[sS]..", old) or old == "LONGNAME.LST":
            os.remove(os.path.join(out_dir, old))
    table = []
    used = set()
    ese_dir = os.path.join(sources, "esercizi")
    for name in sorted(os.listdir(ese_dir)):
        if not name.endswith(".ese"):
            continue
        path = os.path.join(ese_dir, name)
        fields = {"nome": [], "testo": [], "compito": [], "livelli": []}
        for line in read_source(path):
            if not line.strip() or line.startswith("#"):
                continue
            key, sep, value = line.partition(":")
            if not sep or key.strip() not in fields:
                fail("%s: unknown line %r" % (path, line))
            fields[key.strip()].append(value.strip())
        if len(fields["nome"]) != 1 or len(fields["testo"]) != 1 or not fields["compito"]:
            fail(path + ": needs one nome, one testo and a compito")
        long_name = fields["nome"][0]
        text_lines = read_source(os.path.join(sources, "testi", fields["testo"][0]))
        sentences = split_sentences(text_lines)
        levels = "".join(fields["livelli"]).replace(" ", "")
        if len(levels) != len(sentences):
            fail("%s: %d levels for %d sentences" % (path, len(levels), len(sentences)))
        if set(levels) - set(TAGS):
            fail(path + ": levels are n, i, m")
        task = fields["compito"]
        check_plain(path, task)
        out = ["[compito]"] + task + ["[testo]"]
        for sentence, level in zip(sentences, levels):
            out.append(TAGS[level])
            out.extend(wrap(sentence))
        base = base_name(long_name)
        counter = 1
        while "%s.S%02d" % (base, counter) in used:
            counter += 1
        file_name = "%s.S%02d" % (base, counter)
        used.add(file_name)
        write_stored(os.path.join(out_dir, file_name), out)
        table.append(file_name + "=" + long_name)
        print("%s  %s  (%d sentences)" % (file_name, long_name, len(sentences)))
    write_stored(os.path.join(out_dir, "LONGNAME.LST"), table)


def wrap_paragraphs(lines, width):
    """Instruction texts are shown in a window that wraps long lines by
    itself, so a paragraph stays one line; only a paragraph longer than
    `width` is broken, at the end of a sentence where possible, because the
    program's text reader takes at most 255 characters a line."""
    out = []
    for line in lines:
        if len(line) <= width:
            out.append(line)
            continue
        chunk = ""
        for sentence in re.split(r"(?<=[.]) ", line):
            for piece in (wrap(sentence, width) if len(sentence) > width else [sentence]):
                if chunk and len(chunk) + 1 + len(piece) > width:
                    out.append(chunk)
                    chunk = piece
                else:
                    chunk = piece if not chunk else chunk + " " + piece
        if chunk:
            out.append(chunk)
    return out


def copy_texts(src_dir, dst_dir, check, width=None):
    for name in sorted(os.listdir(src_dir)):
        if not name.endswith(".txt"):
            continue
        lines = read_source(os.path.join(src_dir, name))
        if check:
            check_plain(os.path.join(src_dir, name), lines)
        if width:
            lines = wrap_paragraphs(lines, width)
        write_stored(os.path.join(dst_dir, name), lines)


def main(argv):
    if len(argv) == 4 and argv[1] == "all":
        sources, assets = argv[2], argv[3]
        copy_texts(os.path.join(sources, "istruzioni"), assets, False, 250)
        copy_texts(os.path.join(sources, "testi"), os.path.join(assets, "testi"), True)
        build_exercises(sources, assets)
    elif len(argv) == 3 and argv[1] == "list":
        for n, s in enumerate(split_sentences(read_source(argv[2]))):
            print("%3d %s" % (n, s))
    elif len(argv) == 5 and argv[1] == "script":
        out, picture, caption = argv[2], argv[3], argv[4]
        write_stored(out, [
            "Animazione: " + caption,
            "###",
            picture + ", F",
        ])
    else:
        fail("usage: see the comment at the top of make_texts.py")


if __name__ == "__main__":
    main(sys.argv)
