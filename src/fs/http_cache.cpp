// The download cache under user://cache/ and the opener that serves http://
// paths from it: a file is fetched once, written to the cache whole, and
// every later open (in this run or the next) reads the cached copy.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/engine_api.h"
#include "fs/files.h"
#include "fs/http_client.h"
#include "fs/paths.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::fs {

namespace {

constexpr size_t CACHE_NAME_MAX = 259;

bool keptInCacheName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_' || c == '~' || c == '%';
}

// Set at shutdown: a download running on a worker then stops within a moment.
volatile int32_t& downloadCancelFlag() {
    static volatile int32_t flag = 0;
    return flag;
}

// The cached copy as a loose file that reports the URL as its name; null
// when it is missing (or empty, unless that is allowed).
InnerFile* openCached(const std::string& cacheName, const char* url, bool allowEmpty) {
    const std::string osPath = ResolvePath(cacheName.c_str());
    if (osPath.empty()) return nullptr;
    std::FILE* stream = platform::openFile(osPath.c_str(), "rb");
    if (!stream) return nullptr;
    int64_t size = 0;
    if (platform::seekFile(stream, 0, 2)) size = platform::tellFile(stream);
    platform::seekFile(stream, 0, 0);
    if (size < 0 || (size == 0 && !allowEmpty)) {
        std::fclose(stream);
        return nullptr;
    }
    return new StdioFile(url, osPath, stream, size);
}

// Write the bytes beside the cache file and move them over it in one step, so
// the cache never holds a partial file that a later open would take as whole.
bool saveToCache(const std::string& cacheName, const VozerBuffer& response) {
    VozerEngineApi* a = api();
    const std::string finalPath = ResolvePath(cacheName.c_str());
    const std::string partName = cacheName + "." + std::to_string(platform::currentThreadId()) + ".part";
    const std::string partPath = ResolvePath(partName.c_str());
    std::FILE* out = partPath.empty() || finalPath.empty() ? nullptr : platform::openFile(partPath.c_str(), "wb");
    if (!out) {
        a->Print("Unable to open saved cachefile '%s'.\n", cacheName.c_str());
        return false;
    }
    const size_t size = static_cast<size_t>(response.size);
    bool ok = size == 0 || std::fwrite(response.data, 1, size, out) == size;
    ok = std::fflush(out) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    if (ok && platform::replaceFile(partPath.c_str(), finalPath.c_str())) return true;
    platform::deleteFile(partPath.c_str());
    // Another thread may have placed the same file a moment ago (and hold it open).
    if (ok) {
        if (std::FILE* existing = platform::openFile(finalPath.c_str(), "rb")) {
            std::fclose(existing);
            return true;
        }
    }
    a->Log(1, "Writing the cache file '%s' failed; nothing was saved.\n", cacheName.c_str());
    return false;
}

bool cachedFileHasBytes(const std::string& cacheName) {
    const std::string osPath = ResolvePath(cacheName.c_str());
    std::FILE* stream = osPath.empty() ? nullptr : platform::openFile(osPath.c_str(), "rb");
    if (!stream) return false;
    const bool hasBytes = platform::seekFile(stream, 0, 2) && platform::tellFile(stream) > 0;
    std::fclose(stream);
    return hasBytes;
}

// The download itself, once the cache was found without the file.
bool download(const char* url, const std::string& cacheName, DownloadFor who) {
    VozerEngineApi* a = api();
    if (who == DownloadFor::File) a->Print("Doesn't exist in cache, starting download..");
    VozerBuffer response{};
    const int32_t result =
        httpRequest(VZ_HTTP_GET, url, "application/octet-stream", "", 0, &response, &downloadCancelFlag());
    if (result != VZ_HTTP_OK) {
        a->Print("Failed to open '%s': return code %d", url, result);
        a->FreeBuffer(&response);
        return false;
    }
    if (response.size < response.total) {
        const int percent = static_cast<int>(static_cast<int64_t>(response.size) * 100 / response.total);
        const double kilobytes = response.total / 1024.0;
        if (who == DownloadFor::File)
            a->Log(1, "Download for '%s' not complete (%d%% of %.1fKB done). Not saving.\n", url, percent, kilobytes);
        else
            a->Log(1, "Download not complete (%d%% of %.1fKB done). Not saving.\n", percent, kilobytes);
        a->FreeBuffer(&response);
        return false;
    }
    if (who == DownloadFor::File)
        a->Print("Done downloading %d bytes for '%s'. Writing file to local cache.", response.size, url);
    else
        a->Print("Done downloading %d bytes for '%s'\n", response.size, url);
    const bool saved = saveToCache(cacheName, response);
    a->FreeBuffer(&response);
    return saved;
}

class HttpOpener final : public FileOpener {
public:
    InnerFile* Open(const char* path, const char* mode) override {
        if (!path || std::strncmp(path, "http://", 7) != 0 || !mode || std::strcmp(mode, "rb") != 0) return nullptr;
        VozerEngineApi* a = api();
        if (!a->Print || !rt().coreInitialised) return nullptr;
        a->Print("HTTP trying open '%s'..", printable(path, 512).c_str());
        const std::string cacheName = fetchIntoCache(path, DownloadFor::File);
        return cacheName.empty() ? nullptr : openCached(cacheName, path, true);
    }

    bool Init() override {
        downloadCancelFlag() = 0;
        return true;
    }
    void Shutdown() override { downloadCancelFlag() = 1; }
    bool AcceptsSearchPaths() override { return false; }
};

}  // namespace

std::string cacheFileName(const char* url) {
    if (!url) return std::string();
    std::string name = "user://cache/";
    const size_t base = name.size();
    for (const char* c = url; *c; ++c) {
        if (*c == '/') name += '_';
        else if (keptInCacheName(*c)) name += *c;
        if (name.size() > CACHE_NAME_MAX) return std::string();
    }
    if (name.size() == base) return std::string();
    // ".." would be refused as a file name and a final '.' vanishes on Win32
    // (two URLs would share one file): break them up.
    for (size_t i = base + 1; i < name.size(); ++i)
        if (name[i] == '.' && name[i - 1] == '.') name[i] = '_';
    if (name.back() == '.') name.back() = '_';
    return name;
}

std::string fetchIntoCache(const char* url, DownloadFor who) {
    VozerEngineApi* a = api();
    if (!url) return std::string();
    const std::string shown = printable(url, 512);
    HttpUrl parsed;
    std::string why;
    if (!parseHttpUrl(url, parsed, why)) {
        a->Log(1, "HTTP open refused for '%s': %s.\n", shown.c_str(), why.c_str());
        return std::string();
    }
    a->CreateDir("user://cache");
    const std::string cacheName = cacheFileName(url);
    if (cacheName.empty()) {
        a->Log(1, "The cache file name for '%s' would be longer than %d characters; not opening it.\n",
               shown.c_str(), static_cast<int>(CACHE_NAME_MAX));
        return std::string();
    }
    if (cachedFileHasBytes(cacheName) || download(url, cacheName, who)) return cacheName;
    return std::string();
}

std::unique_ptr<FileOpener> makeHttpOpener() { return std::make_unique<HttpOpener>(); }

}  // namespace vz::fs
