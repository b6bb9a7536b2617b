#include "overlay/notice_queue.h"

#include <cwchar>

NoticeSlot bannerSlot;
NoticeSlot lineSlot;

namespace NoticeOverlay {

void Show(unsigned int gang, unsigned int count, Kind kind, unsigned int now) {
    if (gang > 3) return;
    if (kind == BroughtToKnees) {
        bannerSlot = {gang, count, BroughtToKnees, now, kNoticeMs};
        lineSlot = {gang, count, SurvivorsKeepDistance, now, kFollowUpNoticeMs};
        return;
    }
    lineSlot = {gang, count, kind, now, kNoticeMs};
}

// The other fields stay: the renderer retires the textures on its next frame.
void Reset() {
    bannerSlot.duration = 0;
    lineSlot.duration = 0;
}

}  // namespace NoticeOverlay

namespace {

constexpr int kLanguages = 2;
constexpr int kGangs = 4;
constexpr int kFormattedKinds = 4;  // kinds 0..3 have a format; 4 shows the banner text

struct NoticeTexts {
    const wchar_t* gangNames[kGangs];
    const wchar_t* bannerTexts[kGangs];
    const wchar_t* formats[kFormattedKinds];
    bool countFirst;  // the count comes before the name in this language's formats
};

const NoticeTexts kTexts[kLanguages] = {
    {
        {L"Triads", L"Leone family", L"Colombian Cartel", L"Uptown Yardies"},
        {L"Triads brought to their knees!", L"Leone brought to their knees!",
         L"Cartel brought to its knees!", L"Yardies brought to their knees!"},
        {L"%ls members killed: %u", L"%ls weakened. %u killed.", L"%ls losing ground. %u killed.",
         L"%u killed. The survivors keep their distance."},
        false,
    },
    {
        {L"Триады", L"семьи Леоне", L"Колумбийского картеля", L"банды Ярди"},
        {L"Триады на коленях!", L"Леоне на коленях!", L"Картель на коленях!", L"Ярди на коленях!"},
        {L"Убито \u2014 %u человек из %ls.", L"Убито \u2014 %u бойцов %ls. Их влияние сокращается!",
         L"Убито \u2014 %u бойцов %ls. Они теряют улицы!", L"Убито \u2014 %u бойцов. Уцелевшие избегают тебя."},
        true,
    },
};

}  // namespace

void ComposeNoticeText(const NoticeSlot& slot, int language, wchar_t (&text)[kNoticeTextUnits]) {
    for (wchar_t& unit : text) unit = 0;
    if (slot.gang >= kGangs) return;
    const NoticeTexts& texts = kTexts[language == 0 ? 0 : 1];
    const wchar_t* name = texts.gangNames[slot.gang];
    const unsigned int count = slot.count;

    if (slot.kind == NoticeOverlay::BroughtToKnees) {
        swprintf(text, kNoticeTextUnits, L"%ls", texts.bannerTexts[slot.gang]);
    } else if (slot.kind == NoticeOverlay::SurvivorsKeepDistance) {
        swprintf(text, kNoticeTextUnits, texts.formats[slot.kind], count);
    } else if (slot.kind < kFormattedKinds) {
        if (texts.countFirst)
            swprintf(text, kNoticeTextUnits, texts.formats[slot.kind], count, name);
        else
            swprintf(text, kNoticeTextUnits, texts.formats[slot.kind], name, count);
    }
    text[kNoticeTextUnits - 1] = 0;
}
