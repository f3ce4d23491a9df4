// Awkward configuration files and the keys to read from them: the Windows
// test compares our reader with the system's on them, the native test runs
// the same reads under the sanitizers.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct CorpusKey {
    std::string section, key;
};

struct CorpusFile {
    std::string name, text;  // a label (part of the file name), the bytes
    bool missing = false;
    std::vector<CorpusKey> keys;
};

// A literal with its embedded NULs.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

inline std::vector<CorpusKey> In(const std::string& section, std::initializer_list<const char*> keys) {
    std::vector<CorpusKey> v;
    for (const char* k : keys) v.push_back({section, k});
    return v;
}

inline std::vector<CorpusFile> ProfileCorpus() {
    using S = std::string;
    std::vector<CorpusFile> c;
    auto add = [&](const char* name, S text, std::vector<CorpusKey> keys) { c.push_back({name, std::move(text), false, std::move(keys)}); };
    const S digits40 = "0123456789012345678901234567890123456789";

    add("case", "[SoftWare]\r\nVERSION=1.0\r\nversion=2.0\r\n[software]\r\nName=second\r\n",
        {{"software", "version"}, {"SOFTWARE", "Version"}, {"Software", "VERSION"}, {"software", "name"}});
    add("blanks", "  [ Sec ]  \n  key  =  value with  inner  blanks  \t\n\tk2\t=\tv2\t\n[Sec]\nkey=plain\n",
        {{"Sec", "key"}, {" Sec ", "key"}, {"Sec", "  key "}, {" Sec ", "k2"}, {"Sec", "k2"}, {"\tSec", "key"}});
    add("ctlblanks", S("[S]\nvt=\x0bval\x0c\x1a\nfe=\x1a\x1avalue\x1a\n\x0b\x0c k3 \x1a= x\n") +
                         "c1c=\x1cv\x1f\nnb=\xa0v\xa0\nsoh=\x01v\x01\nnel=\x85v\x85\n",
        In("S", {"vt", "fe", "k3", "c1c", "nb", "soh", "nel"}));
    add("quotes",
        "[Q]\nk1=\"abc\"\nk2='abc'\nk3=\"abc'\nk4=\"abc\nk5=abc\"\nk6=\"\nk7=\"\"\nk8=''\n"
        "k9=\" spaced \"\nk10=\"\"abc\"\"\nk11=\"a\"b\"\nk12='\nk13= \"x\" \nk14=\"'\"\nk15=`x`\n",
        In("Q", {"k1", "k2", "k3", "k4", "k5", "k6", "k7", "k8", "k9", "k10", "k11", "k12", "k13", "k14", "k15"}));
    add("quotedsizes",
        "[Q]\nq18=\"" + digits40.substr(0, 18) + "\"\nq19=\"" + digits40.substr(0, 19) + "\"\nq20=\"" +
            digits40.substr(0, 20) + "\"\nq21='" + digits40.substr(0, 21) + "'\nu19=" + digits40.substr(0, 19) +
            "\nu20=" + digits40.substr(0, 20) + "\nu21=" + digits40.substr(0, 21) + "\n",
        In("Q", {"q18", "q19", "q20", "q21", "u19", "u20", "u21"}));
    add("cronly", "[A]\rk=one\r\r[B]\rk=two\rk2 = x \r", {{"A", "k"}, {"B", "k"}, {"B", "k2"}});
    add("crlf", "[A]\r\nk=one\r\n\r\n[B]\r\nk=two\r\n", {{"A", "k"}, {"B", "k"}});
    add("mixedends", "[A]\n\rk=one\n\n\r\r\nj=two\r\n\n[B]\n\rk=three", {{"A", "k"}, {"A", "j"}, {"B", "k"}});
    add("semicolon", "[S]\n;comment=x\n; k = v\n;k\nk=real\n#hash=h\n//slash=s\n",
        In("S", {";comment", "; k", ";k", "k", "#hash", "//slash"}));
    add("noequals", "[S]\nflag\nk=v\nflag2 \n  spaced flag  \n", In("S", {"flag", "k", "flag2", "spaced flag"}));
    add("dupkeys", "[S]\nk=1\nK=2\nk=3\n", {{"S", "k"}, {"S", "K"}});
    add("dupsections", "[S]\na=1\n[T]\na=t\n[s]\na=2\nb=3\n", {{"S", "a"}, {"S", "b"}, {"T", "a"}});
    add("beforesection", "a=1\n=anon\nb\n[S]\nb=2\n", {{"", "a"}, {"", "b"}, {"", ""}, {"S", "a"}, {"S", "b"}});
    add("openbracket", "[S\nk=v\n[T]\nk=t\n[U\n[V]x=y\n", {{"", "[S"}, {"", "k"}, {"S", "k"}, {"T", "k"}, {"T", "[U"},
                                                          {"V", "x"}, {"V]x", "y"}, {"T", "[V]x"}});
    add("brackets", "[a]b]\nk=1\n[x] trailing\nk=2\n[]\nk=3\n[[y]]\nk=4\n[ z ]\nk=5\n[q]]\nk=6\n",
        {{"a", "k"}, {"a]b", "k"}, {"x", "k"}, {"x] trailing", "k"}, {"", "k"}, {"[y]", "k"}, {"[y", "k"},
         {"z", "k"}, {" z ", "k"}, {"q", "k"}, {"q]", "k"}});
    add("sectionchars", "[a=b]\nk=1\n[ta\tb]\nk=2\n[x;y]\nk=3\n", {{"a=b", "k"}, {"a", "b]"}, {"ta\tb", "k"}, {"x;y", "k"}});
    add("leadingzeros", "[Disk1]\nFile01=zero\nFile001=zz\nfile2=two\nFile10=ten\n[Disk01]\nNumber=5\n",
        {{"Disk1", "File1"}, {"Disk1", "File01"}, {"Disk1", "File2"}, {"Disk1", "File10"}, {"Disk1", "File0"},
         {"Disk1", "Number"}, {"Disk01", "Number"}});
    add("signs", "[I]\na=+5\nb=-5\nc=--5\nd=+-5\ne= - 5\nf=-\ng=+\nh=-0\ni=+0x10\nj=-0x10\n",
        In("I", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}));
    add("prefixes",
        "[I]\nh=0x1F\nH=0X1F\no=0o17\nO=0O17\nb=0b101\nB=0B101\nff=0xFFFFFFFF\nx=0x\nxg=0xg\nd=010\n"
        "b2=0b2\no9=0o9\nhl=0xabcDEF\nhz=0x7fffffff\n",
        In("I", {"h", "H", "o", "O", "b", "B", "ff", "x", "xg", "d", "b2", "o9", "hl", "hz"}));
    add("junk", "[I]\na=12abc\nb=12 34\nc=1.5\nd=12;c\ne=abc\nf= 7\ng=\t8\nh=0 9\ni=z12\n",
        In("I", {"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    add("overflow",
        "[I]\na=4294967295\nb=4294967296\nc=2147483648\nd=-2147483649\ne=99999999999999999999\n"
        "f=0x1FFFFFFFF\ng=2147483647\nh=-2147483648\ni=0b111111111111111111111111111111111\n",
        In("I", {"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    add("longints",
        "[I]\nz28=" + S(27, '0') + "42\nz29=" + S(28, '0') + "42\nz30=" + S(29, '0') + "42\n" + "d31=" +
            digits40.substr(0, 31) + "\nq=\"" + S(27, '0') + "17\"\nsp=" + S(1, '-') + S(28, '0') + "9\n",
        In("I", {"z28", "z29", "z30", "d31", "q", "sp"}));
    add("quotedints", "[I]\na=\"42\"\nb='-7'\nc=\" 8\"\nd=\"9\ne=\"\"\nf='0x20'\n", In("I", {"a", "b", "c", "d", "e", "f"}));
    c.push_back({"missing", "", true, {{"Software", "Version"}, {"", ""}, {"Disk", "Number"}}});
    add("empty", "", {{"Software", "Version"}, {"", ""}, {"", "x"}});
    add("onlyblanks", " \r\n\t\n\x1a\n\n", {{"", ""}, {"", "x"}});
    add("bom", "\xef\xbb\xbf[Software]\r\nVersion=1.2\r\n", {{"Software", "Version"}, {"\xef\xbb\xbfSoftware", "Version"}});
    add("bomblank", "\xef\xbb\xbf\r\nk=before\r\n[S]\r\nk=v\r\n", {{"", "k"}, {"S", "k"}});
    add("bomtwice", "\xef\xbb\xbf\xef\xbb\xbf[S]\nk=v\n", {{"S", "k"}});
    add("nulvalue", Bytes("[S]\nk=ab\0cd\nj=x\0\nm=\0tail\n"), In("S", {"k", "j", "m"}));
    add("nulname", Bytes("[S]\nab\0cd=1\n\0z=2\nq=3\n"), In("S", {"ab", "abcd", "", "q", "z"}));
    add("nulsection", Bytes("[ab\0cd]\nk=1\n[x]\nk=2\n"), {{"ab", "k"}, {"abcd", "k"}, {"x", "k"}});
    add("highbytes", "[S]\nk=caf\xe9\nh=\x80\x81\x8d\x9f\xff\n\xe9t\xe9=summer\n", In("S", {"k", "h", "\xe9t\xe9"}));
    add("emptyname", "[S]\n=v\n=w\n = x\nk=1\n", In("S", {"", " ", "k"}));
    add("emptyvalue", "[S]\nk=\nj= \t\nq=\"\"\n", In("S", {"k", "j", "q"}));
    add("equalsinvalue", "[S]\nk=a=b\nj==c\nm = = d\n", In("S", {"k", "j", "m", ""}));
    add("innerspace", "[My Section]\nmy key = v\nmy  key = w\n",
        {{"My Section", "my key"}, {"my section", "MY KEY"}, {"My Section", "my  key"}, {"MySection", "mykey"}});
    add("longvalue", "[S]\nk=" + S(300, 'x') + "y\nq=\"" + S(150, 'q') + "\"\n", {{"S", "k"}, {"S", "q"}});
    add("noeol", "[S]\nk=v", {{"S", "k"}});
    add("dosEof", "[S]\nk=v\n\x1a", {{"S", "k"}});
    add("indexedsections", "[DISK1]\nNumber=2\n[Disk2]\nNumber=3\n[Disk10]\nNumber=4\n",
        {{"disk1", "number"}, {"Disk2", "Number"}, {"Disk10", "Number"}, {"Disk3", "Number"}});
    add("requestblanks", "[S]\nk=v\n", {{" S ", " k "}, {"\tS", "\tk\t"}, {"S\x1a", "k\x0b"}});
    add("quotedblank", "[S]\na=\"  \"\nb=' '\nc=\" \n", In("S", {"a", "b", "c"}));
    add("lonebrackets", "[\n]\nk=v\n[S]\n[\nj=w\n", {{"", "["}, {"", "]"}, {"", "k"}, {"S", "["}, {"S", "j"}});
    add("longname", "[S]\n" + S(5000, 'n') + "=long\nk=v\n", {{"S", S(5000, 'n')}, {"S", "k"}});
    add("sectionline", "[S] k=v\nj=w\n", In("S", {"k", "j", "[S] k"}));
    // Well-formed UTF-8 text as UTF-16 with its byte-order mark.
    auto utf16 = [](const std::string& utf8, bool bigEndian) {
        std::string out = bigEndian ? "\xfe\xff" : "\xff\xfe";
        auto unit = [&](unsigned u) { out += {static_cast<char>(bigEndian ? u >> 8 : u), static_cast<char>(bigEndian ? u : u >> 8)}; };
        for (size_t i = 0; i < utf8.size();) {
            const unsigned char c = static_cast<unsigned char>(utf8[i++]);
            const int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            unsigned u = more ? c & (0x3F >> more) : c;
            for (int k = 0; k < more; ++k) u = u << 6 | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
            if (u >= 0x10000) unit(0xD800 + ((u - 0x10000) >> 10)), u = 0xDC00 + (u & 0x3FF);
            unit(u);
        }
        return out;
    };
    add("utf16le", utf16("[S]\r\nk=v\r\nn=42\r\n", false), {{"S", "k"}, {"S", "n"}});
    add("utf16be", utf16("[S]\r\nk=v\r\nn=42\r\n", true), {{"S", "k"}, {"S", "n"}});
    add("utf8text", "\xef\xbb\xbf[S]\nk=caf\xc3\xa9 \xe2\x82\xac \xe4\xb8\xad \xf0\x9f\x98\x80!\n"
                    "bad=a\xff" "b\xc3(c\xe2\x82" "d\xc0\xaf" "e\xed\xa0\x80" "f\xf4\x90\x80\x80" "g\xe2\x82\n"
                    "f5=\xf5\x80\x80\x80h\xe0\x80\x80i\xf0\x80\x80\x80j\xf8\x80k\xdf\xbf\xe0\xa0\x80\n"
                    "n\xc3\xa9=named\n"
                    "end=\xe2\x82",
        In("S", {"k", "bad", "n\xe9", "f5", "end"}));
    add("utf16text", utf16("[S]\r\nk=x\r\n", false) + Bytes("j\0=\0\xe9\0\xac\x20\x2d\x4e\x3d\xd8\0\0z\0\n\0") + "\x01",
        {{"S", "k"}, {"S", "j"}});
    add("morlan",
        "[Software]\r\nVersion=Programmer 5.2 Setup\r\nName=Programmer\r\n[Dir]\r\nDest=C:\\Programmer\r\n"
        "[Language]\r\nNumber=2\r\nDescrip1=English\r\nDescrip2=Chinese\r\nFile1=Default\r\nFile2=lang_cn\r\n"
        "[Disk]\r\nNumber=1\r\n[Disk1]\r\nNumber=1\r\nFile1=main\r\nDir1=bin\r\nPercent1=100\r\n"
        "[Programmer]\r\nType=1\r\n",
        {{"Software", "Version"}, {"Software", "Name"}, {"Dir", "Dest"}, {"Language", "Number"},
         {"Language", "Descrip2"}, {"Disk1", "Percent1"}, {"Programmer", "Type"}, {"Disk2", "Number"}});
    // Chinese names, language entries and folders saved with a byte-order
    // mark, as editors write UTF-8 and UTF-16. The Chinese section and key
    // are asked for in GBK bytes: in code page 936 they name them, in 1252
    // nothing. U+0E01 is in neither code page, U+0100 and U+00C0 are
    // only close matches, U+3000 is a full-width blank.
    const S chinese =
        "[Software]\r\nVersion=编程器 5.2 安装程序\r\nName=编程器软件\r\n[Dir]\r\nDest=C:\\编程器\\软件\r\n"
        "[Language]\r\nNumber=3\r\nDescrip1=English\r\nDescrip2=简体中文\r\nDescrip3=Chinese (简体)\r\n"
        "[SubDir]\r\nNumber=1\r\nDir1=数据\\驱动\r\n"
        "[中文节]\r\n键=值\r\n[Text]\r\nQuoted=\"编程器\"\r\nQ1='软'\r\nMixed=ab编x\u0e01y\u0100z\u00c0!\r\n"
        "Blank=\u3000全角\u3000\r\nDigits=\uff14\uff12\r\nAstral=\U0001F600编\r\n"
        "Long=编程器软件编程器软件编程器软件编程器软件编程器软件\r\n";
    const std::vector<CorpusKey> chineseKeys = {
        {"Software", "Version"}, {"Software", "Name"}, {"Dir", "Dest"}, {"Language", "Descrip2"},
        {"Language", "Descrip3"}, {"SubDir", "Dir1"}, {"\xd6\xd0\xce\xc4\xbd\xda", "\xbc\xfc"},
        {"Text", "Quoted"}, {"Text", "Q1"}, {"Text", "Mixed"}, {"Text", "Blank"}, {"Text", "Digits"},
        {"Text", "Astral"}, {"Text", "Long"}, {"?", "?"}};
    add("chinese8", "\xef\xbb\xbf" + chinese, chineseKeys);
    add("chinese16le", utf16(chinese, false), chineseKeys);
    add("chinese16be", utf16(chinese, true), chineseKeys);
    return c;
}
