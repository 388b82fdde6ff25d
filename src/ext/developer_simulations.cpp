// Store, advertising and social services as developer simulations: with
// developer mode on, a Program can run its purchase and advertising code on
// the desktop. Purchases spend a simulated credit balance; ads are grey
// placeholders drawn where the ad would be.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "api/engine_api.h"
#include "ext/ext_tables.h"
#include "ext/extensions.h"
#include "font/font_pool.h"
#include "platform/platform.h"
#include "state/runtime_state.h"

namespace vz::ext {

namespace {

constexpr int32_t OFFER_CREDITS = 150;
constexpr int32_t DEFAULT_PRICE = 100;
constexpr uint32_t FULLSCREEN_AD_MS = 3000;
constexpr float BANNER_WIDTH = 320.0f, BANNER_HEIGHT = 50.0f;

struct Ad {
    bool shown = false;
    std::string label;
    uint32_t since = 0;
};

struct SimulationState {
    std::mutex lock;
    int32_t credits = 0;
    Ad banner, fullscreen;
};

SimulationState& state() {
    static SimulationState s;
    return s;
}

const char* creditsText(int32_t credits) {
    thread_local std::string result;
    return keep(result, std::to_string(credits) + " credits");
}

Answer yes(const char*, const char*) { return answer("YES"); }

Answer balance(const char*, const char*) {
    SimulationState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return answer(creditsText(s.credits));
}

Answer openOffers(const char*, const char*) {
    SimulationState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.credits += OFFER_CREDITS;
    api()->Print("IAP_OpenOffers called. Adding 150 credits. Now %d credits.", s.credits);
    return answer(creditsText(s.credits));
}

// The argument names the item, optionally with its price: "sword" or "sword:250".
Answer purchase(const char* name, const char* item) {
    const std::string text = shown(item);
    const size_t colon = text.rfind(':');
    const int32_t price = colon == std::string::npos ? DEFAULT_PRICE : std::atoi(text.c_str() + colon + 1);
    SimulationState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (price < 0 || price > s.credits) {
        api()->Print("%s: '%s' costs %d credits; there are %d credits. Not bought.", name, text.c_str(), price,
                     s.credits);
        return answer(nullptr);
    }
    s.credits -= price;
    api()->Print("%s: bought '%s' for %d credits. Now %d credits.", name, text.c_str(), price, s.credits);
    return answer(creditsText(s.credits));
}

Answer advert(const char* name, const char* argument) {
    api()->Print("ADS Ext: %s (%s)", name, shown(argument).c_str());
    SimulationState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const std::string label = argument ? shown(argument) : std::string();
    if (std::strcmp(name, "ADS_ShowAd") == 0) {
        s.banner = Ad{true, label, platform::timeMs()};
    } else if (std::strcmp(name, "ADS_HideAd") == 0) {
        s.banner.shown = false;
    } else if (std::strcmp(name, "ADS_ShowFullscreenAd") == 0) {
        s.fullscreen = Ad{true, label, platform::timeMs()};
    } else if (std::strcmp(name, "ADS_IsShowingFullscreenAd") == 0) {
        if (s.fullscreen.shown && platform::timeMs() - s.fullscreen.since >= FULLSCREEN_AD_MS) s.fullscreen.shown = false;
        return answer(s.fullscreen.shown ? "YES" : "NO");
    }
    return answer(nullptr);
}

void drawPlaceholder(float x, float y, float width, float height, const std::string& label) {
    VozerEngineApi* a = api();
    a->SetColor(0.25f, 0.25f, 0.25f);
    a->SetAlpha(0.9f);
    a->FillRect(x, y, width, height);
    if (VozerFont* font = font::firstFontSlot()) {
        a->SetColor(1.0f, 1.0f, 1.0f);
        a->SetAlpha(1.0f);
        a->DrawText(font, x + 4.0f, y + 4.0f, "Ad %dx%d '%s'", static_cast<int>(width), static_cast<int>(height),
                    label.c_str());
    }
    a->SetColor(1.0f, 1.0f, 1.0f);
    a->SetAlpha(1.0f);
}

}  // namespace

void resetSimulationState() {
    SimulationState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.credits = 0;
    s.banner = Ad{};
    s.fullscreen = Ad{};
}

void drawAdPlaceholders() {
    const VozerProgramRecord* program = rt().shared.program;
    if (!program || !rt().boot.developerMode) return;
    Ad banner, fullscreen;
    {
        SimulationState& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.fullscreen.shown && platform::timeMs() - s.fullscreen.since >= FULLSCREEN_AD_MS) s.fullscreen.shown = false;
        banner = s.banner;
        fullscreen = s.fullscreen;
    }
    const float width = static_cast<float>(program->display.width);
    const float height = static_cast<float>(program->display.height);
    if (banner.shown) drawPlaceholder((width - BANNER_WIDTH) * 0.5f, height - BANNER_HEIGHT, BANNER_WIDTH, BANNER_HEIGHT, banner.label);
    if (fullscreen.shown) drawPlaceholder(0.0f, 0.0f, width, height, fullscreen.label);
}

const std::vector<Entry>& developerSimulations() {
    static const std::vector<Entry> table = {
        {"Facebook_IsAvailable", false, yes},
        {"Twitter_IsAvailable", false, yes},
        {"_SinaWeibo_IsAvailable", false, yes},
        {"IAP_IsAvailable", false, yes},
        {"IAP_IsOffersSupported", false, yes},
        {"IAP_RequestItemData", false, balance},
        {"IAP_OpenOffers", false, openOffers},
        {"IAP_PurchaseItem", false, purchase},
        {"IAP_Purchase", false, purchase},
        {"ADS_PreloadAd", false, advert},
        {"ADS_ShowAd", false, advert},
        {"ADS_HideAd", false, advert},
        {"ADS_PreloadFullscreenAd", false, advert},
        {"ADS_ShowFullscreenAd", false, advert},
        {"ADS_IsShowingFullscreenAd", false, advert},
    };
    return table;
}

}  // namespace vz::ext
