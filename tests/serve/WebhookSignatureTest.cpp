#include "serve/WebhookSignature.h"

#include <gtest/gtest.h>

#include "serve/WebhookBody.h"

namespace kalvero {
namespace {

TEST(WebhookSignature, IsTheHexHmacSha256OfTheBody) {
    // RFC 4231, test case 2.
    EXPECT_EQ(WebhookSignature("Jefe", "what do ya want for nothing?"),
              "sha256=5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    // A key longer than SHA-256's block is hashed first (RFC 4231, test case 6).
    EXPECT_EQ(WebhookSignature(std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
              "sha256=60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

TEST(WebhookSignature, ChangesWithEveryByteOfBodyAndKey) {
    const std::string body = R"({"id":1,"number":"52473063"})";
    const std::string signature = WebhookSignature("hmac-key", body);
    EXPECT_NE(WebhookSignature("hmac-key", R"({"id":1,"number":"52473064"})"), signature);
    EXPECT_NE(WebhookSignature("hmac-kez", body), signature);
    // Bodies and keys with NUL bytes are signed whole, not up to the first NUL.
    EXPECT_NE(WebhookSignature(std::string("a\0b", 3), body), WebhookSignature("a", body));
    EXPECT_NE(WebhookSignature("k", std::string("a\0b", 3)), WebhookSignature("k", "a"));
}

struct Base64Case {
    const char* bytes;
    const char* text;
};

class Base64Encodes : public ::testing::TestWithParam<Base64Case> {};

// RFC 4648's vectors: every padding length.
TEST_P(Base64Encodes, AsRfc4648Says) {
    const std::string bytes = GetParam().bytes;
    EXPECT_EQ(Base64(std::vector<unsigned char>(bytes.begin(), bytes.end())), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Vectors, Base64Encodes,
                         ::testing::Values(Base64Case{"", ""}, Base64Case{"f", "Zg=="}, Base64Case{"fo", "Zm8="},
                                           Base64Case{"foo", "Zm9v"}, Base64Case{"foob", "Zm9vYg=="},
                                           Base64Case{"fooba", "Zm9vYmE="}, Base64Case{"foobar", "Zm9vYmFy"}),
                         [](const ::testing::TestParamInfo<Base64Case>& info) {
                             return "Bytes" + std::to_string(std::string(info.param.bytes).size());
                         });

TEST(Base64, LongInputStaysOnOneLine) {
    const std::string text = Base64(std::vector<unsigned char>(4000, 0xff));
    EXPECT_EQ(text.size(), 5336u);
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace kalvero
