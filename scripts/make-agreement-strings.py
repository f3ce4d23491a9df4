#!/usr/bin/env python3
"""Writes src/res/agreement.rc: the licence agreement shown on the agreement
page, as a string table of wide strings (English 300..310, Chinese 200..206).

The texts are kept here in readable form; the resource compiler does not read
UTF-8 reliably, so every string is written as L"..." with \\x escapes for the
characters outside ASCII. Line breaks are single LF characters; the page turns
them into CR LF when it joins the strings.

Run from anywhere: python3 scripts/make-agreement-strings.py
"""
import os

ENGLISH = [
    "SOFTWARE LICENCE AGREEMENT\n\n"
    "Please read this agreement carefully before you install the software. "
    "By choosing \"Yes\" and continuing the installation you accept its terms. "
    "If you do not accept them, choose \"No\" and cancel the installation.\n\n",

    "1. DEFINITIONS\n"
    "\"Software\" means the programming software for the device programmer, together with its "
    "device libraries, drivers, help files and any updates supplied for it. \"Programmer\" means "
    "the device programming hardware with which the Software is supplied. \"Licensor\" means the "
    "party that supplies the Software to you.\n\n",

    "2. GRANT OF LICENCE\n"
    "The Licensor grants you a non-exclusive, non-transferable licence to install and use the "
    "Software on any number of computers, for the sole purpose of operating Programmers that you "
    "own or are authorised to use.\n\n",

    "3. RESTRICTIONS\n"
    "You may not modify, translate, reverse engineer, decompile or disassemble the Software, "
    "except to the extent that applicable law expressly permits it. You may not rent, lease or "
    "sell the Software separately from the Programmer.\n\n",

    "4. COPIES\n"
    "You may make copies of the Software for backup purposes. Every copy must keep all copyright "
    "and proprietary notices of the original.\n\n",

    "5. OWNERSHIP\n"
    "The Software is licensed, not sold. The Licensor and its suppliers keep all title, copyright "
    "and other intellectual property rights in the Software.\n\n",

    "6. DEVICE DATA\n"
    "You are responsible for the data that you program into devices and for checking programmed "
    "devices before they are used in a product. Always verify the result of a programming "
    "operation.\n\n",

    "7. NO WARRANTY\n"
    "The Software is provided \"as is\", without warranty of any kind, express or implied, "
    "including the implied warranties of merchantability and fitness for a particular purpose. "
    "The entire risk as to the quality and performance of the Software is with you.\n\n",

    "8. LIMITATION OF LIABILITY\n"
    "In no event shall the Licensor be liable for any damages whatsoever, including lost profits, "
    "lost data, damaged devices or business interruption, arising out of the use of or inability "
    "to use the Software, even if it has been advised of the possibility of such damages.\n\n",

    "9. TERMINATION\n"
    "This licence ends automatically if you fail to comply with any of its terms. On termination "
    "you must destroy all copies of the Software.\n\n",

    "10. GENERAL\n"
    "If any provision of this agreement is held invalid, the remaining provisions stay in force. "
    "This agreement is the entire agreement between you and the Licensor concerning the "
    "Software.\n\n"
    "Do you accept all the terms of this agreement? Choose \"Yes\" to continue the installation.",
]

CHINESE = [
    "软件许可协议\n\n"
    "安装本软件之前，请仔细阅读本协议。选择“Yes”并继续安装，即表示您接受本协议的全部条款。"
    "如果您不接受，请选择“No”并取消安装。\n\n",

    "一、许可授予\n"
    "许可方授予您非独占、不可转让的许可。您可以在任意数量的计算机上安装和使用本软件，"
    "但仅限于操作您拥有或经授权使用的编程器。\n\n",

    "二、使用限制\n"
    "除适用法律明确允许的范围外，您不得修改、翻译、反向工程、反编译或反汇编本软件，"
    "也不得脱离编程器单独出租、出借或出售本软件。\n\n",

    "三、所有权\n"
    "本软件是许可使用而非出售。许可方及其供应商保留本软件的全部所有权、著作权及其他知识产权。"
    "您可以为备份目的复制本软件，但每份副本都必须保留原有的版权声明。\n\n",

    "四、器件数据\n"
    "您应对写入器件的数据负责，并应在器件用于产品之前检查已编程的器件。"
    "请务必校验每一次编程操作的结果。\n\n",

    "五、免责声明与责任限制\n"
    "本软件按“现状”提供，不附带任何明示或默示的担保。在任何情况下，许可方均不对因使用或无法使用"
    "本软件而造成的任何损失（包括利润损失、数据丢失、器件损坏或业务中断）承担责任。\n\n",

    "六、终止\n"
    "如果您违反本协议的任何条款，本许可自动终止。终止后，您必须销毁本软件的全部副本。\n\n"
    "您是否接受本协议的全部条款？选择“Yes”继续安装。",
]


def rc_wide(text):
    # A hex escape would swallow a hex digit written right after it, so such a
    # digit is escaped as well.
    out = []
    after_escape = False
    for ch in text:
        c = ord(ch)
        if after_escape and ch in "0123456789abcdefABCDEF":
            out.append("\\x%04x" % c)
            continue
        after_escape = False
        if ch == "\n":
            out.append("\\n")
        elif ch == '"':
            out.append('""')
        elif ch == "\\":
            out.append("\\\\")
        elif 32 <= c < 127:
            out.append(ch)
        else:
            out.append("\\x%04x" % c)
            after_escape = True
    return 'L"' + "".join(out) + '"'


def main():
    assert len(ENGLISH) == 11 and len(CHINESE) == 7
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    lines = [
        "// Generated by scripts/make-agreement-strings.py: edit the texts there.",
        "// The licence agreement of the agreement page, wide strings.",
        "STRINGTABLE",
        "BEGIN",
    ]
    for i, s in enumerate(CHINESE):
        lines.append("    %d %s" % (200 + i, rc_wide(s)))
    for i, s in enumerate(ENGLISH):
        lines.append("    %d %s" % (300 + i, rc_wide(s)))
    lines.append("END")
    path = os.path.join(root, "src", "res", "agreement.rc")
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
