/* The sample game's text: a title, a wrapped and centred paragraph with
 * some non-ASCII characters, a line that turns, and a caption measured to
 * sit in a box. Kept apart from demo.c, which calls the three hooks. */
#include <math.h>

#include "demo_text.h"

static VozerFont* titleFont;
static VozerFont* textFont;

void demoTextInit(VozerEngineApi* zt) {
    /* Loaded first, the body font also serves the frame-rate overlay. */
    textFont = zt->LoadFont("fonts/text.mft");
    titleFont = zt->LoadFont("fonts/title.mft");
}

void demoTextShutdown(VozerEngineApi* zt) {
    zt->ReleaseFont(titleFont);
    zt->ReleaseFont(textFont);
    titleFont = textFont = 0;
}

void demoTextRender(VozerEngineApi* zt, float width, float height, float playTime) {
    float boxWidth, boxHeight;
    const char* caption = "Kerning: AV To Wa Ty || Gr\xC3\xBC\xC3\x9F" "e \xE2\x80\x94 caf\xC3\xA9 \xE2\x82\xAC" "5";

    zt->SetColor(1.0f, 1.0f, 1.0f);
    zt->SetAlpha(1.0f);
    zt->SetTextScale(1.0f, 1.0f, 0.0f);
    zt->SetTextAlign(8); /* centred on x */
    zt->SetTextWrapWidth(0.0f);
    zt->DrawText(titleFont, width * 0.5f, height * 0.12f, "Vozer");

    /* A paragraph wrapped to a box of 60% of the screen, centred. */
    zt->SetTextWrapWidth(width * 0.6f);
    zt->SetColor(0.85f, 0.9f, 1.0f);
    zt->DrawText(textFont, width * 0.5f, height * 0.28f,
                 "A bitmap font made from DejaVu Sans when the game was built, drawn glyph by glyph from one "
                 "atlas texture. Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln, \xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC"
                 "\xCE\xAD\xCF\x81\xCE\xB1, \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82! Frame %d of this run.",
                 (int)(playTime * 60.0f));

    /* A caption in a dark box measured to fit it. */
    zt->SetTextWrapWidth(0.0f);
    zt->GetTextSize(textFont, &boxWidth, &boxHeight, "%s", caption);
    zt->SetColor(0.0f, 0.0f, 0.0f);
    zt->SetAlpha(0.6f);
    zt->FillRect(width * 0.5f - boxWidth * 0.5f - 8.0f, height * 0.82f - 4.0f, boxWidth + 16.0f, boxHeight + 8.0f);
    zt->SetAlpha(1.0f);
    zt->SetColor(1.0f, 0.85f, 0.4f);
    zt->DrawText(textFont, width * 0.5f, height * 0.82f, "%s", caption);

    /* A line that turns and breathes about the centre of the screen. */
    zt->SetTextAlign(8 | 4);
    zt->SetColor(0.6f, 1.0f, 0.7f);
    zt->SetTextScale(1.0f + 0.25f * sinf(playTime * 2.0f), 1.0f + 0.25f * sinf(playTime * 2.0f), playTime * 0.5f);
    zt->DrawText(textFont, width * 0.5f, height * 0.6f, "|#80ff80|turning |#ffffff|text");
    zt->SetTextScale(1.0f, 1.0f, 0.0f);
    zt->SetTextAlign(0);
    zt->SetColor(1.0f, 1.0f, 1.0f);
}
