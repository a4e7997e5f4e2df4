#pragma once
#include <algorithm>
#include <mutex>

#include "serve/PassStore.h"

namespace kalvero {

// A store that keeps everything in memory, for tests of the parts above
// the store. ISO 8601 UTC texts of one form compare as strings.
class MemoryPassStore : public PassStore {
public:
    long long AddPass(const StoredPass& pass, const std::vector<std::string>& webhooks) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failWrites) throw StoreError("the store is failing on purpose");
        StoredPass stored = pass;
        stored.id = ++lastPassId_;
        passes_.push_back(stored);
        Queue(stored.id, DeliveryKind::Pass, webhooks);
        return stored.id;
    }
    std::vector<StoredPass> FindPasses(const PassQuery& query) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<StoredPass> found;
        for (const StoredPass& pass : passes_) {
            const bool number = query.number.empty() || pass.number.find(query.number) != std::string::npos ||
                                pass.correctedNumber.find(query.number) != std::string::npos;
            const bool camera = query.camera.empty() || pass.camera == query.camera;
            const bool from = query.from.empty() || pass.startTime >= query.from;
            const bool to = query.to.empty() || pass.startTime <= query.to;
            if (number && camera && from && to) found.push_back(pass);
        }
        std::stable_sort(found.begin(), found.end(), [](const StoredPass& a, const StoredPass& b) {
            return a.startTime != b.startTime ? a.startTime > b.startTime : a.id > b.id;
        });
        const size_t skip = std::min(found.size(), static_cast<size_t>(std::max(0, query.offset)));
        found.erase(found.begin(), found.begin() + static_cast<long>(skip));
        if (found.size() > static_cast<size_t>(query.limit)) found.resize(static_cast<size_t>(query.limit));
        if (!query.withCrops) {
            for (StoredPass& pass : found) pass.cropPng.clear();
        }
        return found;
    }
    std::optional<StoredPass> Pass(long long id) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const StoredPass& pass : passes_) {
            if (pass.id == id) return pass;
        }
        return std::nullopt;
    }
    bool Correct(long long id, const std::string& number, const std::string& at,
                 const std::vector<std::string>& webhooks) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (StoredPass& pass : passes_) {
            if (pass.id == id) {
                pass.correctedNumber = number;
                pass.correctedAt = at;
                Queue(id, DeliveryKind::Correction, webhooks);
                return true;
            }
        }
        return false;
    }
    long long CountPasses(const std::string& camera, const std::string& from) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::count_if(passes_.begin(), passes_.end(), [&](const StoredPass& pass) {
            return pass.camera == camera && pass.startTime >= from;
        });
    }
    std::vector<Delivery> DueDeliveries(const std::string& now, int limit) override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Delivery> due;
        for (const Delivery& delivery : outbox_) {
            if (delivery.nextAttempt <= now && static_cast<int>(due.size()) < limit) due.push_back(delivery);
        }
        return due;
    }
    bool Claim(long long deliveryId, const std::string& due, const std::string& until) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Delivery& delivery : outbox_) {
            if (delivery.id == deliveryId && delivery.nextAttempt == due) {
                delivery.nextAttempt = until;
                return true;
            }
        }
        return false;
    }
    void Delivered(long long deliveryId) override {
        std::lock_guard<std::mutex> lock(mutex_);
        Remove(deliveryId);
    }
    void Retry(long long deliveryId, int attempts, const std::string& nextAttempt,
               const std::string& error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Delivery& delivery : outbox_) {
            if (delivery.id == deliveryId) {
                delivery.attempts = attempts;
                delivery.nextAttempt = nextAttempt;
                delivery.lastError = error;
            }
        }
    }
    void Drop(long long deliveryId, int attempts, const std::string& error) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Delivery& delivery : outbox_) {
            if (delivery.id == deliveryId) {
                delivery.attempts = attempts;
                delivery.lastError = error;
                dropped.push_back(delivery);
            }
        }
        Remove(deliveryId);
    }
    long long OutboxLength() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<long long>(outbox_.size());
    }
    bool Writable(std::string& reason) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failWrites) reason = "the store is failing on purpose";
        return !failWrites;
    }
    int SchemaVersion() override { return 1; }

    bool failWrites = false;        // set before use: AddPass throws, Writable says no
    std::vector<Delivery> dropped;  // deliveries given up, for the tests to look at

private:
    void Queue(long long passId, DeliveryKind kind, const std::vector<std::string>& webhooks) {
        for (const std::string& url : webhooks) {
            Delivery delivery;
            delivery.id = ++lastDeliveryId_;
            delivery.passId = passId;
            delivery.kind = kind;
            delivery.url = url;
            delivery.nextAttempt = "";  // due at once
            outbox_.push_back(delivery);
        }
    }
    void Remove(long long deliveryId) {
        outbox_.erase(std::remove_if(outbox_.begin(), outbox_.end(),
                                     [&](const Delivery& d) { return d.id == deliveryId; }),
                      outbox_.end());
    }

    std::mutex mutex_;
    std::vector<StoredPass> passes_;
    std::vector<Delivery> outbox_;
    long long lastPassId_ = 0;
    long long lastDeliveryId_ = 0;
};

}  // namespace kalvero
