// The windows' control tables: every control with its name, kind, caption,
// place and initial state. Plain data without <windows.h>, so that the
// end-to-end driver finds the same controls by the same names.
//
// Rows are in z-order, topmost first. Positions are client coordinates of the
// window, except for a control with a parent, whose position is relative to
// that parent control. Names and captions are GBK bytes like every text.
#pragma once

namespace yz::ui {

enum class Kind {
    Edit,              // one line, scrolls horizontally
    MultiEdit,         // several lines, wraps, vertical scroll bar, Enter = new line
    TextBox,           // the same, the program's own box (ui/text_box_win.h):
                       // a keystroke into a million lines stays cheap
    Label,
    TransparentLabel,  // text only, the parent shows through
    CheckBox,
    Button,
    ProgressBar,
    GroupBox,
    DropObject,        // not a window: a drop target bound to a column box
};

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* caption;
    int x, y, width, height;
    int id;               // dialog control id; unique within its window
    const char* parent;   // nullptr: the window itself
    bool checked;         // initial state of a check box
};

struct WindowSpec {
    const char* caption;
    int width, height;    // outer size, frame and title bar included
};

inline constexpr WindowSpec kMainWindow = {"砚舟词语组合器 V1.1", 525, 638};

inline constexpr ControlSpec kMainControls[] = {
    {"选择框_去重", Kind::CheckBox, "去重", 457, 472, 80, 24, 1001, nullptr, false},
    {"按钮_导出", Kind::Button, "导出", 417, 432, 38, 32, 1002, nullptr, false},
    {"拖放对象_第四列", Kind::DropObject, "", 160, 472, 26, 26, 1003, nullptr, false},
    {"拖放对象_第三列", Kind::DropObject, "", 160, 424, 26, 26, 1004, nullptr, false},
    {"拖放对象_第二列", Kind::DropObject, "", 160, 384, 26, 26, 1005, nullptr, false},
    {"拖放对象_第一列", Kind::DropObject, "", 160, 344, 26, 26, 1006, nullptr, false},
    {"按钮_清空第四列", Kind::Button, "清空", 280, 512, 48, 24, 1007, nullptr, false},
    {"按钮_清空第三列", Kind::Button, "清空", 104, 512, 48, 24, 1008, nullptr, false},
    {"按钮_清空第二列", Kind::Button, "清空", 280, 248, 48, 24, 1009, nullptr, false},
    {"按钮_清空第一列", Kind::Button, "清空", 104, 248, 48, 24, 1010, nullptr, false},
    {"进度条1", Kind::ProgressBar, "", 11, 578, 499, 22, 1011, nullptr, false},
    {"透明标签_说明", Kind::TransparentLabel, "说明", 22, 2, 72, 40, 1012, "分组框1", false},
    {"标签_第四列", Kind::Label, "当前词数0个", 193, 540, 88, 24, 1013, nullptr, false},
    {"选择框_第四列", Kind::CheckBox, "第四列", 195, 313, 80, 24, 1014, nullptr, false},
    {"编辑框_第四列", Kind::TextBox, "", 193, 338, 136, 200, 1015, nullptr, false},
    {"分组框1", Kind::GroupBox, "", 14, 3, 490, 38, 1016, nullptr, false},
    {"按钮_重置", Kind::Button, "重置", 467, 431, 38, 32, 1017, nullptr, false},
    {"编辑框_输出条数", Kind::Edit, "0", 405, 475, 40, 20, 1018, nullptr, false},
    {"标签_输出条数", Kind::Label, "词个数", 363, 472, 43, 24, 1019, nullptr, false},
    {"标签_输出结果", Kind::Label, "输出结果", 368, 48, 80, 24, 1020, nullptr, false},
    {"标签_第三列", Kind::Label, "当前词数0个", 16, 542, 88, 24, 1021, nullptr, false},
    {"标签_第二列", Kind::Label, "当前词数0个", 192, 275, 72, 24, 1022, nullptr, false},
    {"标签_第一列", Kind::Label, "当前词数0个", 16, 275, 72, 24, 1023, nullptr, false},
    {"按钮_复制", Kind::Button, "复制", 367, 432, 38, 32, 1024, nullptr, false},
    {"编辑框_结果", Kind::MultiEdit, "", 368, 72, 136, 392, 1025, nullptr, false},
    {"按钮_输出", Kind::Button, "随机组合", 368, 504, 128, 56, 1026, nullptr, false},
    {"选择框_第三列", Kind::CheckBox, "第三列", 18, 314, 80, 24, 1027, nullptr, false},
    {"编辑框_第三列", Kind::TextBox, "", 16, 340, 136, 200, 1028, nullptr, false},
    {"选择框_第二列", Kind::CheckBox, "第二列", 194, 45, 80, 24, 1029, nullptr, false},
    {"编辑框_第二列", Kind::TextBox, "", 192, 72, 136, 200, 1030, nullptr, false},
    {"选择框_第一列", Kind::CheckBox, "第一列", 18, 45, 80, 24, 1031, nullptr, true},
    {"编辑框_第一列", Kind::TextBox, "", 16, 72, 136, 200, 1032, nullptr, false},
};

// Tab and Shift+Tab cycle through these, wrapping at both ends.
inline constexpr const char* kMainTabOrder[] = {
    "编辑框_第一列", "选择框_第一列", "编辑框_第二列", "选择框_第二列",
    "编辑框_第三列", "选择框_第三列", "按钮_输出", "编辑框_结果",
    "按钮_复制", "编辑框_输出条数", "按钮_重置", "编辑框_第四列",
    "选择框_第四列", "按钮_清空第一列", "按钮_清空第二列", "按钮_清空第三列",
    "按钮_清空第四列", "按钮_导出", "选择框_去重",
};

inline constexpr WindowSpec kHelpWindow = {"说明", 313, 229};

inline constexpr ControlSpec kHelpControls[] = {
    {"透明标签1", Kind::TransparentLabel,
     "砚舟词语随机组合软件，可通过多列关键词随机组合。每列框中关键词一行一个，支持TXT文本拖放导入。\r\n\r\n"
     "去重功能将会降低组合词速度，若组合词数量大，可以组合后复制到wps进行去重。\r\n\r\n",
     8, 16, 288, 176, 2001, nullptr, false},
};

// Column c (1..4) -> its controls.
inline constexpr const char* kColumnEdit[5] = {nullptr, "编辑框_第一列", "编辑框_第二列", "编辑框_第三列", "编辑框_第四列"};
inline constexpr const char* kColumnLabel[5] = {nullptr, "标签_第一列", "标签_第二列", "标签_第三列", "标签_第四列"};
inline constexpr const char* kColumnCheck[5] = {nullptr, nullptr, "选择框_第二列", "选择框_第三列", "选择框_第四列"};
inline constexpr const char* kColumnClear[5] = {nullptr, "按钮_清空第一列", "按钮_清空第二列", "按钮_清空第三列", "按钮_清空第四列"};
inline constexpr const char* kColumnDrop[5] = {nullptr, "拖放对象_第一列", "拖放对象_第二列", "拖放对象_第三列", "拖放对象_第四列"};

}  // namespace yz::ui
