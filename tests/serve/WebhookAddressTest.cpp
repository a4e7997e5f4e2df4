#include "serve/WebhookAddress.h"

#include <gtest/gtest.h>

namespace kalvero {
namespace {

struct GoodAddress {
    const char* url;
    const char* origin;
    const char* target;
};

class WebhookAddressSplits : public ::testing::TestWithParam<GoodAddress> {};

TEST_P(WebhookAddressSplits, IntoOriginAndTarget) {
    std::string error;
    const auto address = WebhookAddress::Parse(GetParam().url, error);
    ASSERT_TRUE(address) << error;
    EXPECT_EQ(address->origin, GetParam().origin);
    EXPECT_EQ(address->target, GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, WebhookAddressSplits,
    ::testing::Values(GoodAddress{"https://yard.example/passes", "https://yard.example", "/passes"},
                      GoodAddress{"http://yard.example", "http://yard.example", "/"},
                      GoodAddress{"http://10.0.0.5:8080/in/passes?gate=east&x=1", "http://10.0.0.5:8080",
                                  "/in/passes?gate=east&x=1"},
                      GoodAddress{"http://yard.example?gate=east", "http://yard.example", "/?gate=east"},
                      GoodAddress{"HTTPS://Yard.Example:8443/p#part", "https://Yard.Example:8443", "/p"},
                      GoodAddress{"http://[::1]:9000/hook", "http://[::1]:9000", "/hook"},
                      GoodAddress{"http://[fe80::1]/hook", "http://[fe80::1]", "/hook"}),
    [](const ::testing::TestParamInfo<GoodAddress>& info) { return "Address" + std::to_string(info.index); });

class WebhookAddressRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(WebhookAddressRefuses, WithAReason) {
    std::string error;
    EXPECT_FALSE(WebhookAddress::Parse(GetParam(), error));
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(Urls, WebhookAddressRefuses,
                         ::testing::Values("", "yard.example/passes", "ftp://yard.example/", "http://",
                                           "http:///passes", "http://yard.example:0/", "http://yard.example:65536/",
                                           "http://yard.example:80a/", "http://yard.example:/",
                                           "http://user:pw@yard.example/", "http://yard example/",
                                           "http://yard.example/pa ss", "http://yard.example/\r\nX-Evil: 1",
                                           "http://[::1/hook", "http://yard$.example/"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return "Address" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace kalvero
