// Runs the independent peers (FFmpeg's tools, Debian's yaswfp under /usr/bin/python3).
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

struct CommandResult {
    int status = -1;
    std::string output;
};

inline CommandResult RunCommand(const std::string& command)
{
    CommandResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.output.append(buffer, n);
    r.status = pclose(p);
    return r;
}

inline bool HavePeer(const char* path)
{
    return access(path, X_OK) == 0;
}

inline bool HaveYaswfp()
{
    return HavePeer("/usr/bin/python3") && RunCommand("/usr/bin/python3 -c 'import yaswfp'").status == 0;
}

struct YaswfpTag {
    std::string kind, name;
    size_t payload = 0;
};

struct YaswfpListing {
    bool ok = false;
    int version = 0;
    long fileLength = 0, frameRate = 0, frameCount = 0, trailing = -1;
    std::vector<YaswfpTag> tags;
    std::string raw;
};

inline YaswfpListing ListWithYaswfp(const std::string& file)
{
    YaswfpListing l;
    CommandResult r = RunCommand("/usr/bin/python3 '" MOVINTA_SOURCE_DIR "/tests/swf/yaswfp_tags.py' '" + file + "'");
    l.raw = r.output;
    if (r.status != 0) return l;
    std::istringstream in(r.output);
    std::string word;
    in >> word >> l.version >> l.fileLength >> l.frameRate >> l.frameCount >> l.trailing;
    if (word != "header") return l;
    YaswfpTag t;
    while (in >> t.kind >> t.name >> t.payload) l.tags.push_back(t);
    l.ok = true;
    return l;
}

// yaswfp's names of the tags this library writes.
inline std::string YaswfpName(uint16_t code)
{
    switch (code) {
    case 1: return "ShowFrame";
    case 2: return "DefineShape";
    case 3: return "UnspecifiedObject(tag=3)";  // FreeCharacter, which yaswfp has no name for
    case 4: return "PlaceObject";
    case 5: return "RemoveObject";
    case 6: return "DefineBits";
    case 8: return "JPEGTables";
    case 9: return "SetBackgroundColor";
    case 12: return "DoAction";
    case 13: return "DefineFontInfo";
    case 20: return "DefineBitsLossless";
    case 21: return "DefineBitsJPEG2";
    case 22: return "DefineShape2";
    case 24: return "Protect";
    case 26: return "PlaceObject2";
    case 28: return "RemoveObject2";
    case 32: return "DefineShape3";
    case 35: return "DefineBitsJPEG3";
    case 36: return "DefineBitsLossless2";
    case 43: return "FrameLabel";
    case 56: return "ExportAssets";
    case 57: return "ImportAssets";
    case 58: return "EnableDebugger";
    default: return "?";
    }
}
