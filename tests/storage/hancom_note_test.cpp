// The reader of Hancom Note's file: whole files, empty and damaged ones, and
// hostile ones that claim more than they hold.
#include <gtest/gtest.h>

#include <cstring>

#include "support/hancom_note_writer.h"

namespace tesra::test {
namespace {

using std::string;

TEST(HancomNote, ReadsEveryFieldOfEachNote) {
    HancomNote b = SampleHancomNote(-30, 5, string("x\0y", 3));
    b.minimised = 1;
    std::memset(b.font.lfFaceName, 'F', kFaceNameSize);  // a face with no NUL
    const HancomNoteList list = ReadHancomNotes(WriteHancomNotes({SampleHancomNote(10, 20, "\xC7\xD1\r\n"), b}));
    ASSERT_EQ(list.notes.size(), 2u);
    const HancomNote& r = list.notes[0];
    EXPECT_EQ(r.rect, (PixelRect{10, 20, 110, 70}));
    EXPECT_EQ(FormatFontString({r.textColor, r.font}), "1056816 -12 0 0 0 700 1 0 129 0 0 0 0 \xB1\xBC\xB8\xB2");
    EXPECT_EQ(r.font.lfUnderline, 1);
    EXPECT_EQ(r.text + list.notes[1].text, string("\xC7\xD1\r\nx\0y", 7));
    EXPECT_EQ(list.notes[1].minimised, 1);
    EXPECT_EQ(string(list.notes[1].font.lfFaceName), string(kFaceNameSize - 1, 'F'));
}

TEST(HancomNote, CheckWordIsWidthPlusHeightExactly) {
    struct Case {
        PixelRect rect;
        std::uint16_t check;
        bool match;
    } cases[] = {
        {{0, 0, 100, 50}, 150, true},
        {{0, 0, 100, 50}, 151, false},
        {{0, 0, 0, 0}, 0, true},
        {{0, 0, 70000, 0}, 70000 & 0xFFFF, false},  // a sum past 16 bits never matches
        {{100, 0, 0, 50}, static_cast<std::uint16_t>(-50), false},
        {{INT32_MIN, 0, INT32_MAX, 1}, 0, false},  // wraps to 0 in 32 bits
    };
    for (const Case& c : cases) EXPECT_EQ(HancomCheckWordMatches(c.rect, c.check), c.match) << c.rect.right;
}

TEST(HancomNote, DamagedAndHostileFilesKeepWhatCameBefore) {
    const HancomNoteSpec good{SampleHancomNote(0, 0, "first")};
    HancomNoteSpec wrongCheck{SampleHancomNote(0, 0, "second")};
    wrongCheck.check = 149;
    HancomNoteSpec wraps{SampleHancomNote(0, 0, "wide")};
    wraps.note.rect = {0, 0, 70000, 0};
    HancomNoteSpec pastEnd{SampleHancomNote(0, 0, "cut")};
    pastEnd.length = 60000;
    const string one = WriteHancomNotes({good});
    struct Case {
        const char* name;
        string bytes;
        std::vector<string> texts;
        bool damaged;
    } cases[] = {
        {"empty", "", {}, false},
        {"short header", string("\0\0\0\0\5", 5), {}, false},
        {"count 0", WriteHancomNotes({good}, 0), {}, false},
        {"wrong check", WriteHancomNotes({good, wrongCheck, good}), {"first"}, true},
        {"check wraps", WriteHancomNotes({good, wraps}), {"first"}, true},
        {"count 65535", WriteHancomNotes({good, good}, 65535), {"first", "first"}, true},
        {"cut in a note", WriteHancomNotes({good}, 2) + one.substr(6, 40), {"first"}, true},
        {"text past the end", WriteHancomNotes({good, pastEnd}), {"first", "cut"}, true},
        {"cut in the text", one.substr(0, one.size() - 2), {"fir"}, true},
        {"more than counted", WriteHancomNotes({good, good}, 1) + "junk", {"first"}, false},
    };
    for (const Case& c : cases) {
        const HancomNoteList list = ReadHancomNotes(c.bytes);
        std::vector<string> texts;
        for (const HancomNote& n : list.notes) texts.push_back(n.text);
        EXPECT_EQ(texts, c.texts) << c.name;
        EXPECT_EQ(list.damaged, c.damaged) << c.name;
    }
}

}  // namespace
}  // namespace tesra::test
