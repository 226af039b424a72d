#include "login/browser_launch.h"

#include "login/login_texts.h"

namespace qex {

std::string BrowserProgram(const std::string* command, const std::string& systemDirectory) {
    if (command) {
        const std::size_t open = command->find('"');
        if (open == std::string::npos) return std::string();
        const std::size_t close = command->find('"', open + 1);
        if (close == std::string::npos) return std::string();
        return command->substr(open + 1, close - open - 1);
    }
    std::string program;
    if (!systemDirectory.empty()) program += systemDirectory[0];
    return program + browser::kIeFallbackTail;
}

}  // namespace qex
