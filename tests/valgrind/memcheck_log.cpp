#include "memcheck_log.h"

#include <fstream>
#include <sstream>

namespace valgrind_test {
namespace {

// The text of the first <tag>...</tag> in [from, to), or "".
std::string element(const std::string& xml, const std::string& tag, std::size_t from, std::size_t to) {
    std::string open = "<" + tag + ">", close = "</" + tag + ">";
    std::size_t start = xml.find(open, from);
    if (start == std::string::npos || start >= to)
        return "";
    start += open.size();
    std::size_t end = xml.find(close, start);
    if (end == std::string::npos || end > to)
        return "";
    return xml.substr(start, end - start);
}

bool isWithin(const std::string& directory, const std::vector<std::string>& folders) {
    std::string path = directory + "/";
    for (const std::string& folder : folders)
        if (path.compare(0, folder.size() + 1, folder + "/") == 0)
            return true;
    return false;
}

} // namespace

std::vector<MemcheckError> readMemcheckLog(const std::string& path,
                                           const std::vector<std::string>& projectDirectories) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string xml = text.str();

    std::vector<MemcheckError> errors;
    for (std::size_t at = xml.find("<error>"); at != std::string::npos; at = xml.find("<error>", at + 1)) {
        std::size_t end = xml.find("</error>", at);
        if (end == std::string::npos)
            break;
        MemcheckError error;
        error.kind = element(xml, "kind", at, end);
        error.description = element(xml, "what", at, end);
        if (error.description.empty())
            error.description = element(xml, "text", at, end);
        for (std::size_t frame = xml.find("<frame>", at); frame != std::string::npos && frame < end;
             frame = xml.find("<frame>", frame + 1)) {
            std::size_t frameEnd = xml.find("</frame>", frame);
            std::string function = element(xml, "fn", frame, frameEnd);
            std::string directory = element(xml, "dir", frame, frameEnd);
            std::string file = element(xml, "file", frame, frameEnd);
            std::string line = element(xml, "line", frame, frameEnd);
            std::string object = element(xml, "obj", frame, frameEnd);
            error.frames.push_back((function.empty() ? "???" : function) + " (" +
                                   (file.empty() ? object : file + ":" + line) + ")");
            if (!directory.empty() && isWithin(directory, projectDirectories))
                error.inProject = true;
        }
        errors.push_back(error);
        at = end;
    }
    return errors;
}

std::string describe(const MemcheckError& error) {
    std::string text = error.kind + ": " + error.description + "\n";
    for (const std::string& frame : error.frames)
        text += "    " + frame + "\n";
    return text;
}

} // namespace valgrind_test
