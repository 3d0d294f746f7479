// Column editing: the count labels and include boxes follow every change of
// a column's text; the clear buttons empty one column and nothing else.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"
#include "ui/control_table.h"

using namespace yz::e2e;
using yz::ui::kColumnCheck;
using yz::ui::kColumnClear;
using yz::ui::kColumnEdit;
using yz::ui::kColumnLabel;

namespace {

constexpr const char* kInitialLabel = "当前词数0个";

void Tick(App& app, int column) {
    if (!app.Checked(kColumnCheck[column])) app.Click(kColumnCheck[column]);
    ASSERT_TRUE(app.Checked(kColumnCheck[column]));
}

}  // namespace

TEST(Columns, CountLabelAndIncludeBoxFollowTheText) {
    struct Case {
        const char* text;
        const char* label;
    };
    // The empty text comes last: replacing an empty box with "" is no change.
    const Case cases[] = {
        {"a", "1个"},           {"a\r\nb", "2个"}, {"a\r\nb\r\n", "2个"}, {"a\r\n\r\nb", "3个"},
        {"\r\n", "1个"},        {" ", "1个"},      {"a\nb", "1个"},       {"词一\r\n词二", "2个"},
        {"", "0个"},
    };
    App app;
    for (const auto& k : cases) {
        for (int c = 1; c <= 4; ++c) {
            SCOPED_TRACE("column " + std::to_string(c) + ", case " + std::to_string(&k - cases));
            if (c > 1) Tick(app, c);
            app.TypeAsUser(kColumnEdit[c], k.text);
            EXPECT_EQ(app.Text(kColumnEdit[c]), k.text);
            EXPECT_EQ(app.Text(kColumnLabel[c]), k.label);
            // Only a wholly empty text unticks; one line break or a space does not.
            if (c > 1) {
                EXPECT_EQ(app.Checked(kColumnCheck[c]), k.text[0] != '\0');
            }
        }
    }
    EXPECT_TRUE(app.Checked("选择框_第一列"));
}

TEST(Columns, TheFirstChangeReplacesTheInitialCaptionOfThatColumnOnly) {
    App app;
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(app.Text(kColumnLabel[c]), kInitialLabel);
    }
    app.TypeAsUser("编辑框_第二列", "a");
    EXPECT_EQ(app.Text("标签_第二列"), "1个");
    for (int c : {1, 3, 4}) {
        EXPECT_EQ(app.Text(kColumnLabel[c]), kInitialLabel);
    }
    // Emptying again never brings the words back.
    app.TypeAsUser("编辑框_第二列", "");
    EXPECT_EQ(app.Text("标签_第二列"), "0个");
}

TEST(Columns, ClearButtonsEmptyTheirColumnAlsoWhenItIsEmpty) {
    App app;
    // Already empty: the label still becomes a count and the box is unticked.
    for (int c = 1; c <= 4; ++c) {
        SCOPED_TRACE("empty column " + std::to_string(c));
        if (c > 1) Tick(app, c);
        app.Click(kColumnClear[c]);
        EXPECT_EQ(app.Text(kColumnLabel[c]), "0个");
        if (c > 1) {
            EXPECT_FALSE(app.Checked(kColumnCheck[c]));
        }
    }
    for (int c = 1; c <= 4; ++c) {
        SCOPED_TRACE("filled column " + std::to_string(c));
        app.TypeAsUser(kColumnEdit[c], "x\r\ny\r\nz");
        if (c > 1) Tick(app, c);
        ASSERT_EQ(app.Text(kColumnLabel[c]), "3个");
        app.Click(kColumnClear[c]);
        EXPECT_EQ(app.Text(kColumnEdit[c]), "");
        EXPECT_EQ(app.Text(kColumnLabel[c]), "0个");
        if (c > 1) {
            EXPECT_FALSE(app.Checked(kColumnCheck[c]));
        }
    }
}

TEST(Columns, AClickOnTheLowerRightCornerOfAColumnHitsItsClearButton) {
    App app;
    app.TypeAsUser("编辑框_第四列", "a\r\nb");
    Tick(app, 4);
    // The clear button lies over the box's corner: a click there clears.
    app.MouseClick("编辑框_第四列", -10, -8);
    EXPECT_TRUE(WaitFor([&] { return app.Text("编辑框_第四列").empty(); }, 2000));
    EXPECT_EQ(app.Text("标签_第四列"), "0个");
    EXPECT_FALSE(app.Checked("选择框_第四列"));
}

TEST(Columns, EmptyingOneColumnTouchesNothingElse) {
    App app;
    const char* texts[5] = {nullptr, "a", "b\r\nc", "d\r\ne\r\nf", "g\r\n"};
    for (int c = 1; c <= 4; ++c) {
        app.TypeAsUser(kColumnEdit[c], texts[c]);
        if (c > 1) Tick(app, c);
    }
    app.TypeAsUser("编辑框_结果", "r\r\n");

    app.Click("按钮_清空第一列");
    EXPECT_EQ(app.Text("标签_第一列"), "0个");
    EXPECT_TRUE(app.Checked("选择框_第一列"));
    app.TypeAsUser("编辑框_第三列", "");  // a user's emptying, too
    EXPECT_FALSE(app.Checked("选择框_第三列"));
    for (int c : {2, 4}) {
        EXPECT_EQ(app.Text(kColumnEdit[c]), texts[c]);
        EXPECT_TRUE(app.Checked(kColumnCheck[c]));
    }
    EXPECT_EQ(app.Text("标签_第二列"), "2个");
    EXPECT_EQ(app.Text("标签_第四列"), "1个");
    EXPECT_EQ(app.Text("编辑框_结果"), "r\r\n");
}

TEST(Columns, DeletingTheLastCharacterUnticksAndTypingAgainDoesNotTick) {
    App app;
    Tick(app, 3);
    app.SetFocus("编辑框_第三列");
    app.TypeChars("编辑框_第三列", L"a");
    EXPECT_EQ(app.Text("标签_第三列"), "1个");
    EXPECT_TRUE(app.Checked("选择框_第三列"));
    app.TypeChars("编辑框_第三列", L"\b");
    EXPECT_EQ(app.Text("标签_第三列"), "0个");
    EXPECT_FALSE(app.Checked("选择框_第三列"));
    app.TypeChars("编辑框_第三列", L"b");
    EXPECT_EQ(app.Text("标签_第三列"), "1个");
    EXPECT_FALSE(app.Checked("选择框_第三列"));
}
