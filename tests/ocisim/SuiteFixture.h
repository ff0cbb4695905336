#pragma once

// The suite's cases run once per client: release 8 and release 7 on libclntsh, and
// release 7 on libociw32.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "Clients.h"

struct ClientKind {
    const char* name;
    std::function<std::unique_ptr<CClient>()> make;
    bool release8;
};

inline std::vector<ClientKind> AllClients() {
    return {
        {"Release8", [] { return MakeRelease8Client(CClientLibrary::Clntsh()); }, true},
        {"Release7OnClntsh", [] { return MakeRelease7Client(CClientLibrary::Clntsh()); }, false},
        {"Release7OnOciw32", [] { return MakeRelease7Client(CClientLibrary::Ociw32()); }, false},
    };
}

class ClientTest : public ::testing::TestWithParam<ClientKind> {
protected:
    void SetUp() override {
        UseScenario("demo");
        ASSERT_TRUE(CClientLibrary::Clntsh().IsLoaded()) << CClientLibrary::Clntsh().Path();
        ASSERT_TRUE(CClientLibrary::Ociw32().IsLoaded()) << CClientLibrary::Ociw32().Path();
        client = GetParam().make();
    }
    // A client of the same kind logged on as SCOTT.
    std::unique_ptr<CClient> Scott() {
        auto scott = GetParam().make();
        EXPECT_EQ(scott->Logon("SCOTT", "TIGER", "DEMO"), 0) << scott->ErrorText();
        return scott;
    }

    std::unique_ptr<CClient> client;
};

inline void PrintTo(const ClientKind& kind, std::ostream* os) { *os << kind.name; }

inline std::string ClientName(const ::testing::TestParamInfo<ClientKind>& info) { return info.param.name; }
