// Fuzz target for virtual paths: any text through the name checks, the
// normaliser, resolution, GetPathEx and the search-path list. A resolved path
// must stay below its root and within 511 characters; no buffer is overrun.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "api/engine_api.h"
#include "fuzz_support.h"
#include "fs/pak.h"
#include "fs/pak_tool.h"
#include "fs/paths.h"

namespace {

using vz::fuzz::check;
using vz::fuzz::silenceMessages;

const char* const RES_ROOT = "/fuzz/res";
const char* const USER_ROOT = "/fuzz/user";

bool setUp() {
    silenceMessages();
    vz::fs::setTargetRoot(1, USER_ROOT);
    vz::fs::setTargetRoot(3, RES_ROOT);
    return true;
}

void checkResolved(const std::string& resolved) {
    if (resolved.empty()) return;
    check(resolved.size() <= 511);
    bool res = resolved.compare(0, std::strlen(RES_ROOT) + 1, std::string(RES_ROOT) + "/") == 0;
    bool user = resolved.compare(0, std::strlen(USER_ROOT) + 1, std::string(USER_ROOT) + "/") == 0;
    check(res || user);
    std::string rest = resolved.substr(std::strlen(res ? RES_ROOT : USER_ROOT) + 1);
    check(vz::fs::staysInsideRoot(rest));
    check(rest.find('\\') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = setUp();
    (void)ready;
    using namespace vz::fs;
    if (size == 0) return 0;
    const size_t bufferSize = data[0] + (size > 1 ? data[1] % 3 : 0) * 256;  // 0 .. 767
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* path = text.c_str();  // cut at the first NUL, as C callers would

    IsLegalFileName(path);
    HasTargetPrefix(path);
    checkResolved(ResolvePath(path));
    checkResolved(ResolvePath(("res://" + std::string(path)).c_str()));
    if (IsLegalFileName(path)) checkResolved(ResolvePath(("user://data/" + std::string(path)).c_str()));

    // Exact-size heap buffers: one byte too far is an ASan report.
    std::unique_ptr<char[]> buffer(new char[bufferSize + 1]);
    buffer[0] = 0;
    NormalisePath(buffer.get(), bufferSize, path);
    check(std::strlen(buffer.get()) < (bufferSize > 1 ? bufferSize : 1));
    vz::slots::GetPathEx(buffer.get(), static_cast<int32_t>(bufferSize), data[0] % 6, "%s", path);
    if (bufferSize > 0) check(std::strlen(buffer.get()) < bufferSize);

    std::string pakName, entryName;
    if (splitPakPath(path, pakName, entryName)) check(pakName.size() < PATH_BUFFER);
    if (isSafeEntryName(text)) check(staysInsideRoot(text));

    std::string unresolved = UnresolvePath(path);
    if (!unresolved.empty()) check(unresolved.compare(0, 6, "res://") == 0 || unresolved.compare(0, 7, "user://") == 0);

    int32_t before = vz::slots::GetSearchPathCount();
    int32_t after = vz::slots::AddSearchPath(path, data[0] & 1);
    if (after > before) {
        const char* stored = vz::slots::GetSearchPath(data[0] & 1 ? 0 : after - 1);
        check(stored && std::strlen(stored) <= 511 && stored[std::strlen(stored) - 1] == '/');
        vz::slots::RemoveSearchPath(path);
        check(vz::slots::GetSearchPathCount() == before);
    }
    return 0;
}
