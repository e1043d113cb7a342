#pragma once
// A GPIB library stand-in that records every call as text ("ibdev 0 1 0 13 1
// 0", "ibwrt 16 *RST") and fails or throws at the calls a test names by that
// text.
#include "platform/gpib.h"

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace ksx4::test {

class FakeGpib final : public Gpib {
  public:
    struct Failure {
        int ibsta = gpib::kErr;
        int iberr = 0;
        long ibcnt = 0;
    };
    static constexpr int kDescriptor = 16;

    std::vector<std::string> calls;
    std::deque<int> registerResults;      // then 0
    std::map<std::string, Failure> fail;  // recorded call -> its status
    std::string throwAt;                  // a recorded call that throws runtime_error

    int registerGlobals() override {
        calls.push_back("register");
        if (registerResults.empty()) return 0;
        const int result = registerResults.front();
        registerResults.pop_front();
        return result;
    }
    int unregisterGlobals() override {
        calls.push_back("unregister");
        return 0;
    }
    int ibdev(int board, int pad, int sad, int timo, int eot, int eos) override {
        record("ibdev", std::to_string(board) + " " + std::to_string(pad) + " " +
                            std::to_string(sad) + " " + std::to_string(timo) + " " +
                            std::to_string(eot) + " " + std::to_string(eos));
        return finish(kCompleted) ? kDescriptor : -1;
    }
    int ibclr(int ud) override {
        record("ibclr", std::to_string(ud));
        finish(kCompleted);
        return ibsta_;
    }
    int ibwrt(int ud, const void* data, long count) override {
        written.emplace_back(static_cast<const char*>(data), static_cast<size_t>(count));
        record("ibwrt", std::to_string(ud) + " " + written.back());
        finish(Failure{gpib::kCmpl, 0, count});
        return ibsta_;
    }
    int ibonl(int ud, int online) override {
        record("ibonl", std::to_string(ud) + " " + std::to_string(online));
        finish(kCompleted);
        return ibsta_;
    }
    int ibsta() const override { return ibsta_; }
    int iberr() const override { return iberr_; }
    long ibcnt() const override { return ibcnt_; }

    std::vector<std::string> written;  // the bytes of each ibwrt

  private:
    static constexpr Failure kCompleted{gpib::kCmpl, 0, 0};

    void record(const std::string& name, const std::string& arguments) {
        calls.push_back(name + " " + arguments);
        if (throwAt == calls.back()) throw std::runtime_error(name + " went wrong");
    }
    // The status of the call just recorded: its planned failure, else success.
    bool finish(const Failure& success) {
        const auto planned = fail.find(calls.back());
        const Failure& status = planned == fail.end() ? success : planned->second;
        ibsta_ = status.ibsta;
        iberr_ = status.iberr;
        ibcnt_ = status.ibcnt;
        return planned == fail.end();
    }

    int ibsta_ = 0;
    int iberr_ = 0;
    long ibcnt_ = 0;
};

}  // namespace ksx4::test
