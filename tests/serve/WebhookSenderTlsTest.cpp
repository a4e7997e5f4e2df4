#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "MemoryPassStore.h"
#include "StoreTestSupport.h"
#include "WebhookReceiver.h"
#include "serve/WebhookSender.h"
#include "serve/WebhookSignature.h"

namespace kalvero {
namespace {

using std::chrono::milliseconds;

// A self-signed certificate for 127.0.0.1 and its key, made for the test.
struct TestCertificate {
    TestCertificate() {
        key = EVP_RSA_gen(2048);
        certificate = X509_new();
        X509_set_version(certificate, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
        X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
        X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
        X509_set_pubkey(certificate, key);
        X509_NAME* name = X509_get_subject_name(certificate);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                                   -1, 0);
        X509_set_issuer_name(certificate, name);
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
        X509_EXTENSION* names = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
        X509_add_ext(certificate, names, -1);
        X509_EXTENSION_free(names);
        X509_sign(certificate, key, EVP_sha256());
    }
    ~TestCertificate() {
        X509_free(certificate);
        EVP_PKEY_free(key);
    }
    bool WritePem(const std::string& path) const {
        FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) return false;
        const bool written = PEM_write_X509(file, certificate) == 1;
        return std::fclose(file) == 0 && written;
    }
    std::unique_ptr<httplib::Server> Server() const {
        return std::make_unique<httplib::SSLServer>(certificate, key);
    }

    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
};

TEST(WebhookSenderTls, AReceiverWhoseCertificateDoesNotVerifyGetsNothing) {
    const TestCertificate certificate;
    WebhookReceiver receiver(0, certificate.Server());
    ASSERT_TRUE(receiver.Listening());
    ASSERT_EQ(receiver.Url().rfind("https://", 0), 0u);
    MemoryPassStore store;
    std::ostringstream log;
    store.AddPass(MakePass("east", "52473063", "2026-12-08T12:34:56.789Z"), {receiver.Url()});
    WebhookSender sender(store, {{receiver.Url(), "k"}}, log, RetrySchedule(milliseconds(20), milliseconds(80)));
    sender.Start();
    ASSERT_TRUE(WaitUntil([&] { return sender.Counts().failed >= 2; }));
    sender.Stop();
    EXPECT_TRUE(receiver.Posts().empty());
    EXPECT_EQ(store.OutboxLength(), 1);
    EXPECT_EQ(sender.Counts().delivered, 0);
    EXPECT_NE(log.str().find("TLS"), std::string::npos) << log.str();
}

TEST(WebhookSenderTls, AReceiverWhoseCertificateVerifiesGetsThePassSigned) {
    const TestCertificate certificate;
    TemporaryFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string authorities = folder.path() + "/authorities.pem";
    ASSERT_TRUE(certificate.WritePem(authorities));
    WebhookReceiver receiver(0, certificate.Server());
    ASSERT_TRUE(receiver.Listening());
    MemoryPassStore store;
    std::ostringstream log;
    const long long id = store.AddPass(MakePass("east", "52473063", "2026-12-08T12:34:56.789Z"), {receiver.Url()});
    // OpenSSL's default trust store is the one this file names, as an
    // operator with a private authority would set it.
    ::setenv("SSL_CERT_FILE", authorities.c_str(), 1);
    WebhookSender sender(store, {{receiver.Url(), "k"}}, log, RetrySchedule(milliseconds(20), milliseconds(80)));
    sender.Start();
    const auto posts = receiver.WaitForPosts(1);
    const bool emptied = WaitUntil([&] { return store.OutboxLength() == 0; });
    sender.Stop();
    ::unsetenv("SSL_CERT_FILE");
    ASSERT_EQ(posts.size(), 1u) << log.str();
    EXPECT_TRUE(emptied);
    EXPECT_EQ(posts[0].Header("Idempotency-Key"), std::to_string(id));
    EXPECT_EQ(posts[0].Header("X-Kalvero-Signature"), WebhookSignature("k", posts[0].body));
    EXPECT_EQ(sender.Counts().delivered, 1);
}

}  // namespace
}  // namespace kalvero
