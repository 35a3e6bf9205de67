#!/usr/bin/env python3
"""Writes the golden files of this directory once; the bytes are committed.

Every file is CP932 with CR LF, as the program reads and writes them. Run
from anywhere: python3 tests/data/make-golden.py
"""
import os

here = os.path.dirname(os.path.abspath(__file__))


def write(rel, text):
    path = os.path.join(here, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(text.replace('\n', '\r\n').encode('cp932'))


def item(name, title, update, first, edition, todo, done, line, col, attach, body):
    head = (f'Title:{title}\nUpdate:{update}\nFirstEdition:{first}\nEdition:{edition}\n'
            f'ToDo:{todo}\nCompletion:{done}\nAuthor:企画部\nLine:{line}\nColumn:{col}\n')
    head += ''.join(f'AttachFile:{a}\n' for a in attach)
    write('project/' + name, head + '\n' + ''.join(l + '\n' for l in body) + '\n')


item('20261207120000.txt', '新規企画', '2026/12/07 12:00:00', '2026/12/01 09:30:00', 3,
     'false', 'false', 1, 4, [], ['企画の概要', 'ﾊﾝｶｸもある'])
item('20261207120001.txt', '予定表', '2026/12/07 12:01:00', '2026/12/02 10:00:00', 1,
     'true', 'false', 0, 1, ['資料.pdf'], ['月曜: 会議', '', '火曜: 表示\\確認'])
item('20261207120002.txt', '完了した件', '2026/12/07 12:02:00', '2026/12/03 11:00:00', 2,
     'false', 'true', 0, 1, [], [])
item('20261207120003.txt', '下位の件', '2026/12/07 12:03:00', '2026/12/04 08:15:00', 1,
     'false', 'false', 0, 1, [], ['ソフト'])

write('project/MainTree.dat',
      '[Root]\nLastIndex=3\nTagHeader=<見出し>\nTagFooter=</見出し>\nExpanded=1\n'
      'Child01=Root-C00000\nChild02=Root-C00001\n'
      'FileName=20261207120000.txt\nLastNode=Root-C00002\n'
      '[Window]\nTop=60\nLeft=70\nWidth=800\nHeight=500\nTreeWidth=200\n'
      'WordWrap=1\nHideForm=0\nAutoSave=1\nDefaultColor=0\nShowHint=1\n'
      '[Font]\nFileTextName=ＭＳ ゴシック\nFileTextSize=12\n'
      '[Header]\nSection0=100\nSection1=40\nSection2=80\nSection3=60\n'
      'Section4=130\nSection5=60\nSection6=130\n'
      '[AttachWin]\nTop=228\nLeft=182\nWidth=458\nHeight=206\nSortType=3\n'
      '[Root-C00000]\nFileName=20261207120001.txt\nExpanded=1\nChild01=Root-C00002\n'
      '[Root-C00002]\nFileName=20261207120003.txt\n'
      '[Root-C00001]\nFileName=20261207120002.txt\n')

write('settings.ini',
      '[Main]\nRootDir=/home/user/アイデア/\nAutor=企画部\nSortMode=1\n'
      '[Window]\nLeft=10\nTop=20\nWidth=640\nHeight=480\nProjectCaption=200\nProjectDate=120\n')

write('shortcut.ida', '[Project]\nDirectory=/home/user/アイデア/新規企画/\n')
