#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/)
from small generated projects and from the golden projects in tests/data.

    python3 tests/fuzz/make-corpus.py      # rewrites every corpus directory

Seeds are small on purpose (a few KB at most): libFuzzer grows them."""

import hashlib
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
OUT = os.path.join(HERE, "corpus")


def j(text):
    return text.encode("cp932")


def crlf(*lines):
    return b"".join((l if isinstance(l, bytes) else j(l)) + b"\r\n" for l in lines)


def item(title="Item", body=("text",), extra=(), update="2024/01/02 03:04:05"):
    head = [b"Title:" + (title if isinstance(title, bytes) else j(title)),
            j("Update:" + update), j("FirstEdition:2023/12/31 23:59:59"), b"Edition:3",
            b"ToDo:false", b"Completion:false", j("Author:") + j("作者"), b"Line:1", b"Column:2"]
    head += [e if isinstance(e, bytes) else j(e) for e in extra]
    return crlf(*head) + b"\r\n" + crlf(*body) + b"\r\n"


def section(name, *keys):
    return crlf("[" + name + "]", *keys)


def tree_file(children, root_file="r.txt", last="", extra=b""):
    """children: {section: (file name or None, [child ids], expanded)}."""
    root_kids = children.pop("Root")
    out = section("Root", "LastIndex=%d" % len(children), "Expanded=1",
                  *["Child%02d=%s" % (i + 1, c) for i, c in enumerate(root_kids)],
                  "FileName=" + root_file, "LastNode=" + last)
    out += section("Window", "Top=50", "Left=50", "Width=630", "Height=420", "TreeWidth=150",
                   "WordWrap=0", "HideForm=0", "AutoSave=0", "DefaultColor=0", "ShowHint=1")
    for sid, (fname, kids, expanded) in children.items():
        keys = []
        if fname is not None:
            keys.append("FileName=" + fname)
        keys.append("Expanded=%d" % expanded)
        keys += ["Child%02d=%s" % (i + 1, c) for i, c in enumerate(kids)]
        out += section(sid, *keys)
    return out + extra


def framed(tree, files):
    out = tree
    for name, content in files.items():
        out += b"\n#FILE " + (name if isinstance(name, bytes) else j(name)) + b"\n" + content
    return out


ITEMS = {
    "plain": item(),
    "japanese": item("日本語の見出し", ("本文の一行目", "ソ表十能", "ｱｲｳｴｵ半角カナ", "")),
    "attachments": item("Att", ("x",), ("AttachFile:pic.png", "AttachFile:/home/u/doc.odt",
                                        "AttachFile: spaced.txt")),
    "marks": item("Done", ("done",), ("ToDo:true", "Completion:TRUE")),
    "empty-title": crlf("Title:", "Author:", "") + crlf("body") + b"\r\n",
    "no-header": b"just text\r\nsecond line\r\n",
    "header-only": crlf("Title:Only", "Update:2024/01/01 00:00:00"),
    "bad-values": item("Bad", ("b",), ("Edition:-1-2", "Line:99999999999", "Column:x")),
    "bad-dates": crlf("Title:D", "Update:2024/13/45 25:61:61", "FirstEdition:yesterday", "",
                      "text", ""),
    "lf-only": b"Title:LF\nToDo:true\n\nline one\nline two\n\n",
    "cr-only": b"Title:CR\rAuthor:a\r\rline one\rline two\r\r",
    "bom": b"\xef\xbb\xbfTitle:BOM\r\n\r\nbody\r\n\r\n",
    "nul": b"Title:N\x00UL\r\n\r\nbo\x00dy\r\n\r\n",
    "invalid-cp932": b"Title:\x81\r\n\r\n\x82\xff\xa0\x85\x40\r\n\xfc\r\n\r\n",
    "html": item("<b>&\"bold\"</b>", ("<script>alert(1)</script>", "a & b", "\"q\"")),
    "long-line": item("Long", ("x" * 3000,)),
    "many-lines": item("Many", tuple("line %d" % i for i in range(200))),
    "formfeed": item("FF", ("\f", "\fpage", "after")),
    "keys-spaced": b" Ti tle : spaced\r\nTODO:True\r\n\r\ntext\r\n\r\n",
    "no-closing-line": b"Title:Open\r\n\r\nlast line without end",
    "empty": b"",
}

CODEC = {
    "ascii": b"Hello, world\r\n",
    "japanese": j("日本語のテキスト、ｶﾀｶﾅ、①②③、ⅰⅱ、㈱"),
    "nec-row13": b"\x87\x40\x87\x54\x87\x90\x87\x9a\x87\x9b",
    "nec-ibm": b"\xed\x40\xed\x41\xee\xec\xee\xef\xee\xfc",
    "ibm": b"\xfa\x40\xfa\x4a\xfa\x55\xfb\x40\xfc\x4b",
    "duplicates": b"\x81\xe0\x87\x90\x81\xbe\x87\x9b\x81\xca\xee\xf9\xfa\x54",
    "invalid": b"\x80\xa0\xfd\xfe\xff\x81\x20\x82\x7f\x85\x40\xeb\x40",
    "lone-lead": b"abc\x81",
    "lead-ascii": b"\x81A\x9fz\xe0\x30",
    "private-use": b"\xf0\x40\xf9\xfc",
    "utf8": "漢字 and emoji \U0001f600 \ufe00 \uf741".encode("utf-8"),
    "utf8-bad": b"\xc3\x28\xe2\x82\xf0\x9f\x98\xed\xa0\x80",
    "kana": bytes(range(0xa1, 0xe0)),
    "all-single": bytes(range(256)),
}

TAGS = ["a.txt(12)", "a.txt 12,5", "\"my file.txt\" -3:", "a.txt \"key word\"",
        "notes-2024.txt(3)", "x 1,2:", "(1)(4)", "x -7", "x /9: rest", "  a.txt", "\"my file.txt\"",
        "a.txt(2147483647)", "a.txt(-2147483648)", "a.txt 2147483648,1", "missing.txt(3)",
        "/etc/hostname(1)", "a.txt( 5 )", "a.txt 3,", "a.txt ,4", "x \"unclosed",
        "\"\" 3", "a.txt\t12", "a.txt(+3)", "a.txt(+-3)", "my file.txt 4,4"]

CLIPS = [
    crlf("[Tree buff from Orvane]", "$SRC/a.txt", "-$SRC/b.txt", "--$SRC/c.txt",
         "[Attach file list from Orvane]", "pic.png", "/home/u/docs/plan.odt"),
    crlf("[Tree buff from Orvane]", "$SRC/b.txt", "$SRC/c.txt"),
    crlf("[Tree buff from Orvane]", "---$SRC/a.txt", "-----$SRC/b.txt", "$SRC/c.txt"),
    crlf("[Tree buff from Orvane]", "$SRC/a.txt", "-$SRC/missing.txt", "$SRC/b.txt"),
    crlf("[Tree buff from Orvane]", "[Attach file list from Orvane]", "pic.png"),
    crlf("[Tree buff from Orvane]", "$SRC/a.txt", "[Attach file list from Orvane]", "pic.png",
         "[Attach file list from Orvane]", "MainTree.dat", "../escape", "a.txt", b"\x81\\"),
    b"[Tree buff from Orvane]\n$SRC/a.txt\n-$SRC/b.txt\n",
    b"[Tree buff from Orvane]\r$SRC/a.txt\r-$SRC/b.txt\r",
    crlf("not a tree", "$SRC/a.txt"),
    crlf("[Tree buff from Orvane]", "relative/a.txt"),
    b"",
]


def exchange(blocks, header=b"[Orvane Exported File]"):
    out = header + b"\r\n"
    for name, content in blocks:
        out += b"FileName:" + (name if isinstance(name, bytes) else j(name)) + b"\r\n" + content
        out += b"\f\r\n"
    return out


def sample_project():
    tree = tree_file({"Root": ["Root-C00000", "Root-C00001"],
                      "Root-C00000": ("a.txt", ["Root-C00002"], 1),
                      "Root-C00001": ("b.txt", [], 0),
                      "Root-C00002": ("c.txt", [], 0)}, last="Root-C00002")
    files = {"r.txt": item("Project"), "a.txt": ITEMS["japanese"], "b.txt": ITEMS["marks"],
             "c.txt": ITEMS["attachments"]}
    return tree, files


def deep_chain(depth):
    kids = {"Root": ["Root-C00000"]}
    for i in range(depth):
        kids["Root-C%05d" % i] = ("i.txt" if i == depth - 1 else "n%d.txt" % (i % 3),
                                  ["Root-C%05d" % (i + 1)] if i + 1 < depth else [], 1)
    return framed(tree_file(kids), {"r.txt": item("Deep"), "i.txt": item("Leaf"),
                                    "n0.txt": item("N0"), "n1.txt": item("N1")})


def trees():
    tree, files = sample_project()
    yield "sample", framed(tree, files)
    yield "deep-chain", deep_chain(400)
    yield "cycle", framed(tree_file({"Root": ["Root-C00000"],
                                     "Root-C00000": ("a.txt", ["Root-C00001"], 1),
                                     "Root-C00001": ("b.txt", ["Root-C00000", "Root"], 1)}),
                          {"r.txt": item("R"), "a.txt": item("A"), "b.txt": item("B")})
    yield "self-child", framed(tree_file({"Root": ["Root-C00000", "Root"],
                                          "Root-C00000": ("a.txt", ["Root-C00000"], 1)}),
                               {"r.txt": item("R"), "a.txt": item("A")})
    yield "duplicates", framed(tree_file({"Root": ["Root-C00000", "root-c00000", "Root-C00001"],
                                          "Root-C00000": ("a.txt", [], 0),
                                          "Root-C00001": ("A.TXT", [], 0)}),
                               {"r.txt": item("R"), "a.txt": item("A")})
    yield "missing-files", framed(tree_file({"Root": ["Root-C00000", "Root-C00001", "Root-C00002"],
                                             "Root-C00000": ("gone.txt", ["Root-C00003"], 1),
                                             "Root-C00001": (None, [], 0),
                                             "Root-C00002": ("../etc/passwd", [], 0),
                                             "Root-C00003": ("sub/x.txt", [], 0)}),
                                  {"r.txt": item("R")})
    yield "folded-case", framed(tree_file({"Root": ["Root-C00000"],
                                           "Root-C00000": ("Item.TXT", [], 0)}, root_file="R.TXT"),
                                {"r.txt": item("R"), "item.txt": item("I")})
    yield "gap-in-children", framed(
        section("Root", "Child01=Root-C00000", "Child03=Root-C00001", "FileName=r.txt",
                "LastIndex=-5") + section("Root-C00000", "FileName=a.txt") +
        section("Root-C00001", "FileName=b.txt"),
        {"r.txt": item("R"), "a.txt": item("A"), "b.txt": item("B")})
    yield "many-children", framed(
        section("Root", "FileName=r.txt", *["Child%02d=Root-C%05d" % (i + 1, i) for i in range(120)])
        + b"".join(section("Root-C%05d" % i, "FileName=r%d.txt" % (i % 4)) for i in range(120)),
        {"r.txt": item("R"), "r1.txt": item("1"), "r2.txt": item("2"), "r3.txt": item("3")})
    yield "no-root-file", framed(section("Root", "FileName=none.txt"), {})
    yield "empty-tree", b""
    yield "weird-sections", framed(
        b"\xef\xbb\xbf; comment\r\n[ Root ]\r\n FileName = \"r.txt\" \r\nChild01=\x81]\r\n"
        b"[\x81]\r\nFileName=a.txt\r\n[Window]\r\nTop=abc\r\nWidth=99999999999\r\n",
        {"r.txt": item("R"), "a.txt": item("A")})
    yield "lf-tree", framed(tree.replace(b"\r\n", b"\n"), files)
    with open(os.path.join(DATA, "project", "MainTree.dat"), "rb") as f:
        golden = {"MainTree": f.read()}
    names = sorted(n for n in os.listdir(os.path.join(DATA, "project")) if n != "MainTree.dat")
    gfiles = {}
    for n in names:
        with open(os.path.join(DATA, "project", n), "rb") as f:
            gfiles[n] = f.read()
    yield "golden", framed(golden["MainTree"], gfiles)


def inis():
    tree, _ = sample_project()
    yield "tree", tree
    for name in ("settings.ini", "shortcut.ida"):
        with open(os.path.join(DATA, name), "rb") as f:
            yield name.replace(".", "-"), f.read()
    with open(os.path.join(DATA, "project", "MainTree.dat"), "rb") as f:
        yield "golden-tree", f.read()
    yield "quotes", crlf("[S]", "a=\"quoted\"", "b='single'", "c=\" spaced \"", "d=\"", "e=''",
                         "f=\"mixed'")
    yield "comments", crlf("; top", "preamble=1", "", "[A]", "; c", "x", "=novalue", " k = v ",
                           "[a]", "K=dup", "k=first wins?")
    yield "bom-lf", b"\xef\xbb\xbf[S]\nk=v\n[T]\rk=w\r"
    yield "cp932-names", crlf("[日本語]", "キー=値", b"\x95\x5c=\x95\x5c", b"[\x81]]", b"\x83\x5d=trail")
    yield "unclosed", crlf("[open", "k=v", b"[\x81", "k=w", "[]", "=", "[x]y]", "k=z")
    yield "big-section", section("Big", *["Key%d=%d" % (i, i) for i in range(60)])
    yield "empty", b""


def exchanges():
    tree, files = sample_project()
    yield "sample", exchange([("MainTree.dat", tree)] + list(files.items()))
    with open(os.path.join(DATA, "export", "exchange.txt"), "rb") as f:
        yield "golden", f.read()
    yield "lf", exchange([("MainTree.dat", tree), ("r.txt", item("R"))]).replace(b"\r\n", b"\n")
    yield "cr", exchange([("MainTree.dat", tree), ("r.txt", item("R"))]).replace(b"\r\n", b"\r")
    for n, bad in enumerate([b"../escape.txt", b"a/b.txt", b"\x81/x", b"..", b".", b"",
                             b"a\\b", b"x\x00y", b"\x81\x00", b"MainTree.dat/"]):
        yield "bad-name-%d" % n, exchange([("ok.txt", item("Ok")), (bad, item("Bad"))])
    yield "same-name-twice", exchange([("a.txt", item("1")), ("a.txt", item("2"))])
    yield "no-filename", b"[Orvane Exported File]\r\nnot a name\r\ntext\r\n\f\r\n"
    yield "no-header", b"[Something Else]\r\nFileName:a.txt\r\n\f\r\n"
    yield "header-only", b"[Orvane Exported File]"
    yield "trailing", exchange([("a.txt", item("A"))]) + b"FileName:b.txt\r\nno form feed\r\n"
    yield "ff-first", b"[Orvane Exported File]\r\n\f\r\nFileName:a.txt\r\n"
    yield "japanese-name", exchange([("日本語.txt", item("J")), ("表.txt", item("H"))])
    yield "name-offset", exchange([("  x.txt", b"")]).replace(b"FileName:", b"XFileName:")
    yield "empty", b""


def put(target, name, data):
    d = os.path.join(OUT, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def main():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    for name, data in ITEMS.items():
        put("item_file", name, data)
        put("export_item", name, data)
    for name, data in CODEC.items():
        put("codec", name, data)
    for name, data in ITEMS.items():
        if name in ("japanese", "invalid-cp932", "html", "nul"):
            put("codec", "item-" + name, data)
    for name, data in inis():
        put("ini_file", name, data)
    for name, data in trees():
        put("tree_load", name, data)
    for name, data in exchanges():
        put("exchange_import", name, data)
    for n, data in enumerate(CLIPS):
        put("tree_clipboard", "clip-%02d" % n, data)
    for n, tag in enumerate(TAGS):
        put("tag_jump", "tag-%02d" % n, tag.encode("cp932"))
    put("tag_jump", "tag-japanese", j("日本語.txt(3)"))
    total = sum(len(fs) for _, _, fs in os.walk(OUT))
    print("wrote %d seeds under %s" % (total, os.path.relpath(OUT)))


if __name__ == "__main__":
    sys.exit(main())
