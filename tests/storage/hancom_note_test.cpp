// The reader of Hancom Note's file: whole files, empty and damaged ones, and
// hostile ones that claim more than they hold.
#include <gtest/gtest.h>

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
    EXPECT_EQ(r.text + list.notes[1].text, string("\xC7\xD1\r\nx\0y", 7));
    EXPECT_EQ(list.notes[1].minimised, 1);
    EXPECT_EQ(string(list.notes[1].font.lfFaceName), string(kFaceNameSize - 1, 'F'));
}

TEST(HancomNote, DamagedAndHostileFilesKeepWhatCameBefore) {
    const HancomNoteRecord good{SampleHancomNote(0, 0, "first")};
    const auto with = [](PixelRect rect, std::optional<std::uint16_t> check, std::optional<std::uint16_t> length) {
        HancomNoteRecord s{SampleHancomNote(0, 0, "cut")};
        s.note.rect = rect;
        s.check = check;
        s.length = length;
        return s;
    };
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
        {"zero rectangle", WriteHancomNotes({with({}, 0, {})}), {"cut"}, false},
        {"wrong check", WriteHancomNotes({good, with({0, 0, 100, 50}, 149, {}), good}), {"first"}, true},
        {"check past 16 bits", WriteHancomNotes({good, with({0, 0, 70000, 0}, {}, {})}), {"first"}, true},
        {"check wraps in 32 bits", WriteHancomNotes({with({INT32_MIN, 0, INT32_MAX, 1}, 0, {})}), {}, true},
        {"inverted", WriteHancomNotes({with({100, 0, 0, 50}, 65486, {})}), {}, true},
        {"count 65535", WriteHancomNotes({good, good}, 65535), {"first", "first"}, true},
        {"cut in a note", WriteHancomNotes({good}, 2) + one.substr(6, 40), {"first"}, true},
        {"text past the end", WriteHancomNotes({good, with({0, 0, 100, 50}, {}, 60000)}), {"first", "cut"}, true},
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
