#!/usr/bin/env python3
"""Writes the export golden files of this directory once; the bytes are committed.

The project in project/ and, independently of the program, what each export
layout must give for it (text.txt, html.html, exchange.txt, frames/). Every
file is CP932 with CR LF. Run from anywhere: python3 tests/data/export/make-golden.py
"""
import os
import shutil

here = os.path.dirname(os.path.abspath(__file__))


def write_bytes(rel, data):
    path = os.path.join(here, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def lines(seq):
    """Each line followed by CR LF, in CP932."""
    return ''.join(l + '\r\n' for l in seq).encode('cp932')


# name, id, title, update, first edition, todo, completion, author, body, depth
items = [
    ('20261207120000.txt', 'Root', '新規企画 <案> & 検討', '2026/12/07 12:00:00',
     '2026/12/01 09:30:00', False, False, '企画部 & "営業"',
     ['概要: a<b && c>d', '"引用"', '', 'ﾊﾝｶｸ'], 0),
    ('20261207120001.txt', 'Root-C00000', '予定表', '2026/12/07 12:01:00',
     '2026/12/02 10:00:00', True, False, '企画部', ['月曜: 会議', '', '火曜: 表示\\確認'], 1),
    ('20261207120002.txt', 'Root-C00001', '完了した件', '2026/12/07 12:02:00',
     '2026/12/03 11:00:00', True, True, '企画部', [], 2),
    ('20261207120003.txt', 'Root-C00002', '下位の件', '2026/12/07 12:03:00',
     '2026/12/04 08:15:00', False, False, '企画部', ['<script>alert(1)</script>'], 3),
    ('20261207120004.txt', 'Root-C00003', '空の項目', '2026/12/07 12:04:00',
     '2026/12/05 08:00:00', False, True, '企画部', [], 1),
    # Root-C00004 is listed with the file gone.txt, which does not exist.
    ('20261207120006.txt', 'Root-C00005', '生き残り', '2026/12/07 12:06:00',
     '2026/12/06 07:00:00', False, False, '企画部', ['親の無い子'], 2),
]

shutil.rmtree(os.path.join(here, 'project'), ignore_errors=True)
shutil.rmtree(os.path.join(here, 'frames'), ignore_errors=True)

item_bytes = {}
for name, _id, title, upd, first, todo, done, author, body, _d in items:
    head = [f'Title:{title}', f'Update:{upd}', f'FirstEdition:{first}', 'Edition:1',
            f'ToDo:{"true" if todo else "false"}', f'Completion:{"true" if done else "false"}',
            f'Author:{author}', 'Line:0', 'Column:1', '']
    data = lines(head + body + [''])
    item_bytes[name] = data
    write_bytes('project/' + name, data)

settings = [
    '[Window]', 'Top=50', 'Left=50', 'Width=630', 'Height=420', 'TreeWidth=150', 'WordWrap=0',
    'HideForm=0', 'AutoSave=0', 'DefaultColor=0', 'ShowHint=1', '[Font]',
    'FileTextName=Terminal', 'FileTextSize=10', '[Header]', 'Section0=100', 'Section1=40',
    'Section2=80', 'Section3=60', 'Section4=130', 'Section5=60', 'Section6=130', '[AttachWin]',
    'Top=228', 'Left=182', 'Width=458', 'Height=206', 'SortType=3']
tree = (['[Root]', 'LastIndex=6', 'TagHeader=', 'TagFooter=', 'Expanded=1',
         'Child01=Root-C00000', 'Child02=Root-C00003', 'Child03=Root-C00004',
         'FileName=20261207120000.txt', 'LastNode=Root-C00002'] + settings +
        ['[Root-C00000]', 'FileName=20261207120001.txt', 'Expanded=1', 'Child01=Root-C00001',
         '[Root-C00001]', 'FileName=20261207120002.txt', 'Expanded=1', 'Child01=Root-C00002',
         '[Root-C00002]', 'FileName=20261207120003.txt',
         '[Root-C00003]', 'FileName=20261207120004.txt',
         '[Root-C00004]', 'FileName=gone.txt', 'Expanded=1', 'Child01=Root-C00005',
         '[Root-C00005]', 'FileName=20261207120006.txt'])
tree_bytes = lines(tree)
write_bytes('project/MainTree.dat', tree_bytes)


def esc(s):
    return s.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;').replace('"', '&quot;')


def mark(todo, done, text):
    m = ''
    if todo:
        m = ' (ToDo)' if text else '<B>(ToDo)</B>'
    if done:
        m = ' (完了)' if text else '<B>(完了)</B>'
    return m


META = '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=Shift_JIS">'

# Text: indent x depth + header + title + mark; body; empty line; separator.
out = []
for name, _id, title, upd, first, todo, done, author, body, d in items:
    out.append(' ' * d + '★' + title + mark(todo, done, True))
    out += body
    out.append('')
    out.append('+--------+--------+--------+--------+--------+--------+')
write_bytes('text.txt', lines(out))

# Single page: heading level depth + 1, one space before the mark, <BR> lines.
out = [META]
for name, _id, title, upd, first, todo, done, author, body, d in items:
    n = d + 1
    out.append(f'<h{n}> {esc(title)} {mark(todo, done, False)}</h{n}><BR>')
    out += [esc(l) + '<BR>' for l in body]
    out.append('<HR>')
write_bytes('html.html', lines(out))

# Exchange: header, the tree file's block, one block per item file present.
ex = lines(['[Orvane Exported File]', 'FileName:MainTree.dat'])
ex += tree_bytes + lines(['\f'])
for name, *_ in items:
    ex += lines(['FileName:' + name]) + item_bytes[name] + lines(['\f'])
write_bytes('exchange.txt', ex)

# Frame set: one page per item, the index, the frame set page.
index = [META]
for name, _id, title, upd, first, todo, done, author, body, d in items:
    page = name[:-4] + '.html'
    write_bytes('frames/' + page, lines(
        [META, f'<h2>{esc(title)}</h2><BR>', '<h3>',
         f'著者:{esc(author)}<BR>更新日時:{upd}　作成日時:{first}', '</h3>', '<HR>'] +
        [esc(l) + '<BR>' for l in body]))
    entry = f'<A HREF="{page}" TARGET="main">{esc(title)}{mark(todo, done, False)}</A><BR>'
    if d > 0:
        entry = '　' * d + '┗' + entry
    index.append(entry)
write_bytes('frames/index0.html', lines(index))
write_bytes('frames/index.html', lines([
    '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 3.2//EN">',
    '<HTML>',
    '<!-- Orvane auto Export File -->',
    '<HEAD>',
    META,
    f'<TITLE>{esc(items[0][2])}</TITLE>',
    '</HEAD>',
    '<FRAMESET COLS="250,*">',
    '<FRAME SRC="index0.html" NAME="index">',
    '<FRAME SRC="20261207120000.html" NAME="main">',
    '<NOFRAMES><BODY>',
    '<CENTER>Orvane 出力ファイル</CENTER><BR>',
    'このファイルは、フレーム対応ブラウザ用です。<BR>',
    'フレーム非対応ブラウザで閲覧する場合、通常の一括出力(HTML)を用いて下さい。<BR>',
    '</BODY></NOFRAMES>',
    '</FRAMESET>',
    '</HTML>']))
