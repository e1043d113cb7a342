#pragma once
// The program's binding of an NI-488.2-style GPIB library, loaded by name at
// the first call through the system's search order (on Linux "libgpib.so.0",
// the GPIB user library; a simulated generator of the same name comes first
// under `ksx4sim run`). Calls and status are resolved by name: the thread
// status accessors ThreadIbsta(), ThreadIberr(), ThreadIbcntl() where the
// library has them, its globals ibsta, iberr, ibcntl (or ibcnt) otherwise.
//
// When no usable library can be loaded (missing, or lacking a call), every
// call fails with kErr in ibsta and iberr kEneb ("No GPIB board"), ibdev
// returning -1, so the caller reports it like any GPIB failure; the next call
// tries to load again. Registration then succeeds with 0: there is nothing to
// register.
#include "platform/gpib.h"

#include <memory>
#include <string>

namespace ksx4 {

class GpibBinding final : public Gpib {
  public:
    static constexpr const char* kDefaultLibrary = "libgpib.so.0";

    // A file name (found through the search order) or a path.
    explicit GpibBinding(std::string library = kDefaultLibrary);
    ~GpibBinding() override;
    GpibBinding(const GpibBinding&) = delete;
    GpibBinding& operator=(const GpibBinding&) = delete;

    int registerGlobals() override;
    int unregisterGlobals() override;
    int ibdev(int board, int pad, int sad, int timo, int eot, int eos) override;
    int ibclr(int ud) override;
    int ibwrt(int ud, const void* data, long count) override;
    int ibonl(int ud, int online) override;

    int ibsta() const override { return ibsta_; }
    int iberr() const override { return iberr_; }
    long ibcnt() const override { return ibcnt_; }

    // Why the last load failed ("" once loaded, and before the first call).
    const std::string& loadError() const { return loadError_; }
    // The file the bound library came from; "" while none is bound.
    std::string libraryPath() const;

  private:
    struct Bound;
    Bound* bound();  // loads and resolves at the first call; nullptr when unusable
    void refreshStatus();
    int failNoLibrary();

    std::string library_;
    std::unique_ptr<Bound> bound_;
    std::string loadError_;
    int ibsta_ = 0;
    int iberr_ = 0;
    long ibcnt_ = 0;
};

}  // namespace ksx4
