// An ISealService that answers from a script and records what it was asked;
// usable by any test of code that talks to the seal service.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "service/seal_service.h"

namespace qex::testing {

class FakeSealService : public ISealService {
public:
    struct Call {
        std::string operation;
        std::string arg0;
        std::string arg1;
    };

    // The reply of `operation` ("queryUkNameByCerBase64", ...) to `arg0`;
    // an empty arg0 key answers any argument. Unscripted calls get "".
    void Reply(const std::string& operation, const std::string& arg0, const std::string& reply) {
        replies_[{operation, arg0}] = reply;
    }
    const std::vector<Call>& Calls() const { return calls_; }

    std::string QueryUkNameByCerBase64(const std::string& arg0) override {
        return Answer("queryUkNameByCerBase64", arg0, "");
    }
    std::string QueryUkImgByCerBase64(const std::string& arg0) override {
        return Answer("queryUkImgByCerBase64", arg0, "");
    }
    std::string AddUkSealLog(const std::string& arg0, const std::string& arg1) override {
        return Answer("addUkSealLog", arg0, arg1);
    }
    std::string QueryUkMsgByCerHashBase64(const std::string& arg0) override {
        return Answer("queryUkMsgByCerHashBase64", arg0, "");
    }

private:
    std::string Answer(const std::string& op, const std::string& arg0, const std::string& arg1) {
        calls_.push_back({op, arg0, arg1});
        auto it = replies_.find({op, arg0});
        if (it == replies_.end()) it = replies_.find({op, ""});
        return it == replies_.end() ? std::string() : it->second;
    }

    std::map<std::pair<std::string, std::string>, std::string> replies_;
    std::vector<Call> calls_;
};

}  // namespace qex::testing
