#include "engine/texture_prefetch.h"

#include "engine/flags.h"
#include "engine/texture.h"

#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace {

using Key = std::pair<std::string, int>;

// The preparations not yet taken, and the worker filling them: joined before the next starts,
// or when the program ends, before the table goes. The worker never takes the lock.
struct Table {
    std::mutex lock;
    std::map<Key, std::future<PreparedTexture>> waiting;
    std::thread worker;

    ~Table() {
        if (worker.joinable()) worker.join();
    }
};

Table& table() {
    static Table t;
    return t;
}

} // namespace

PixmapRef DecodeTextureFile(const std::string& file) {
    PixmapRef pixmap = LoadPixmap(file);
    if (pixmap && pixmap->format != PF_RGBA8888) pixmap = pixmap->Convert(PF_RGBA8888);
    return pixmap;
}

PreparedTexture PrepareTexture(const std::string& file, int flags) {
    PreparedTexture prepared;
    prepared.pixmap = DecodeTextureFile(file);
    if (!prepared.pixmap) return prepared;
    const int w = TTexture::Pow2Size(prepared.pixmap->width);
    const int h = TTexture::Pow2Size(prepared.pixmap->height);
    if (std::int64_t(w) * h > kMaxPixmapPixels) return prepared; // AdjustPixmap shrinks it
    PixmapRef level = w == prepared.pixmap->width && h == prepared.pixmap->height
                          ? prepared.pixmap
                          : ResizePixmap(prepared.pixmap, w, h);
    while (level) {
        prepared.levels.push_back(level);
        if (!(flags & MIPMAPPEDTEXTURE)) break;
        level = TTexture::NextMipmap(level);
    }
    return prepared;
}

void PrefetchTextures(const std::vector<std::pair<std::string, int>>& files) {
    std::vector<std::pair<Key, std::promise<PreparedTexture>>> jobs;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (const Key& key : files) {
        std::promise<PreparedTexture> promise;
        t.waiting[key] = promise.get_future();
        jobs.emplace_back(key, std::move(promise));
    }
    if (jobs.empty()) return;
    if (t.worker.joinable()) t.worker.join(); // long done, as a rule
    t.worker = std::thread([jobs = std::move(jobs)]() mutable {
        for (auto& [key, promise] : jobs) {
            try {
                promise.set_value(PrepareTexture(key.first, key.second));
            } catch (...) {
                promise.set_exception(std::current_exception()); // thrown again where taken
            }
        }
    });
}

std::future<PreparedTexture> TakePrefetchedTexture(const std::string& file, int flags) {
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.waiting.find(Key(file, flags));
    if (it == t.waiting.end()) return {};
    std::future<PreparedTexture> taken = std::move(it->second);
    t.waiting.erase(it);
    return taken;
}
