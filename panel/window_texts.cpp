// The translation of the window's texts, and of the texts filled in below it by their patterns.
#include "panel/window_texts.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstring>
#include <vector>

namespace qv7::panel {

namespace {

// Texts the window shows as they come from elsewhere: the control table (a Qt-free layer), the device, the preset
// library and the update checks. Listed here so lupdate finds them; a text added there is added here too.
// clang-format off
[[maybe_unused]] const char* const kGroupCaptions[][2] = {
    QT_TRANSLATE_NOOP3("Window", "Tolka上的效果", "group"),
    QT_TRANSLATE_NOOP3("Window", "其他", "group"),
    QT_TRANSLATE_NOOP3("Window", "常用效果", "group"),
    QT_TRANSLATE_NOOP3("Window", "模拟接口", "group"),
    QT_TRANSLATE_NOOP3("Window", "音量", "group"),
    QT_TRANSLATE_NOOP3("Window", "均衡器", "group"),
    QT_TRANSLATE_NOOP3("Window", "自动关机", "group"),
    QT_TRANSLATE_NOOP3("Window", "混响", "group"),
    QT_TRANSLATE_NOOP3("Window", "电音变声", "group"),
    QT_TRANSLATE_NOOP3("Window", "闪避", "group"),
    QT_TRANSLATE_NOOP3("Window", "降噪", "group"),
    QT_TRANSLATE_NOOP3("Window", "Tolka在线升级", "group"),
};
[[maybe_unused]] const char* const kFixedTexts[] = {
    // The control table and the window's constants.
    QT_TRANSLATE_NOOP("Window", "Tolka面板-Vexlor"),
    QT_TRANSLATE_NOOP("Window", "没有找到Vexlor声卡"),
    QT_TRANSLATE_NOOP("Window", "VexlorTolka连接"),
    QT_TRANSLATE_NOOP("Window", "关于 qv7-panel(&A)..."),
    QT_TRANSLATE_NOOP("Window", "显示面板"),
    QT_TRANSLATE_NOOP("Window", "关闭"),
    QT_TRANSLATE_NOOP("Window", "Vexlor声卡没有访问权限"),
    QT_TRANSLATE_NOOP("Window", "Tolka 正由 qv7ctl 使用，稍后自动连接"),
    QT_TRANSLATE_NOOP("Window", "效果文件 (*.json);;所有文件 (*)"),
    QT_TRANSLATE_NOOP("Messages", "没有访问权限"),
    QT_TRANSLATE_NOOP("Window", "闪避"),
    QT_TRANSLATE_NOOP("Window", "充电"),
    QT_TRANSLATE_NOOP("Window", "立体混音"),
    QT_TRANSLATE_NOOP("Window", "耳返"),
    QT_TRANSLATE_NOOP("Window", "保存效果"),
    QT_TRANSLATE_NOOP("Window", "删除效果"),
    QT_TRANSLATE_NOOP("Window", "效果列表："),
    QT_TRANSLATE_NOOP("Window", "使用效果"),
    QT_TRANSLATE_NOOP("Window", "国标"),
    QT_TRANSLATE_NOOP("Window", "港标"),
    QT_TRANSLATE_NOOP("Window", "音量"),
    QT_TRANSLATE_NOOP("Window", "监听"),
    QT_TRANSLATE_NOOP("Window", "话筒"),
    QT_TRANSLATE_NOOP("Window", "伴奏"),
    QT_TRANSLATE_NOOP("Window", "直播"),
    QT_TRANSLATE_NOOP("Window", "开关"),
    QT_TRANSLATE_NOOP("Window", "分钟"),
    QT_TRANSLATE_NOOP("Window", "湿声"),
    QT_TRANSLATE_NOOP("Window", "种类"),
    QT_TRANSLATE_NOOP("Window", "延时"),
    QT_TRANSLATE_NOOP("Window", "高切"),
    QT_TRANSLATE_NOOP("Window", "低切"),
    QT_TRANSLATE_NOOP("Window", "不使用"),
    QT_TRANSLATE_NOOP("Window", "电音"),
    QT_TRANSLATE_NOOP("Window", "变声"),
    QT_TRANSLATE_NOOP("Window", "电音调号"),
    QT_TRANSLATE_NOOP("Window", "电音幅度"),
    QT_TRANSLATE_NOOP("Window", "变声效果"),
    QT_TRANSLATE_NOOP("Window", "门限"),
    QT_TRANSLATE_NOOP("Window", "速度"),
    QT_TRANSLATE_NOOP("Window", "等级"),
    QT_TRANSLATE_NOOP("Window", "降噪范围:"),
    QT_TRANSLATE_NOOP("Window", "底噪范围:"),
    QT_TRANSLATE_NOOP("Window", "进度："),
    QT_TRANSLATE_NOOP("Window", "电池："),
    // The update group's button and label (update/firmware_update.h).
    QT_TRANSLATE_NOOP("Window", "无新版本"),
    QT_TRANSLATE_NOOP("Window", "有新版本,点击更新"),
    QT_TRANSLATE_NOOP("Window", "下载完成，等待写入"),
    QT_TRANSLATE_NOOP("Window", "写入完成，更新成功"),
    // Coming with the tray's start-at-login item and the preset file's export and import: listed already, so the
    // translation is there when their call sites take windowText().
    //: Tray menu, checkable: the panel starts with the desktop session.
    QT_TRANSLATE_NOOP("Window", "开机启动"),
    //: Preset combo box's context menu: writes the user presets to a file.
    QT_TRANSLATE_NOOP("Window", "导出效果…"),
    //: Preset combo box's context menu: reads user presets from a file.
    QT_TRANSLATE_NOOP("Window", "导入效果…"),
    // Captions and texts of the preset library (presets/preset_library.h) and the update checks.
    QT_TRANSLATE_NOOP("Messages", "提示"),
    QT_TRANSLATE_NOOP("Messages", "错误"),
    QT_TRANSLATE_NOOP("Messages", "参数名称必须大于0个字符小于10个字符"),
    QT_TRANSLATE_NOOP("Messages", "名称中有无法保存的字符，请换用其他字符"),
    QT_TRANSLATE_NOOP("Messages", "效果列表已满，无法保存"),
    QT_TRANSLATE_NOOP("Messages", "保存失败"),
    QT_TRANSLATE_NOOP("Messages", "写失败！！"),
    QT_TRANSLATE_NOOP("Messages", "参数错误！"),
    QT_TRANSLATE_NOOP("Messages", "不是普通文件"),
    QT_TRANSLATE_NOOP("Messages", "读取时文件长度有变化"),
    QT_TRANSLATE_NOOP("Messages", "新面板提醒"),
    QT_TRANSLATE_NOOP("Messages", "更新提醒"),
    // presets/preset_exchange.cpp: a preset file refused, the controls named by their captions.
    QT_TRANSLATE_NOOP("Messages", "监听"),
    QT_TRANSLATE_NOOP("Messages", "伴奏"),
    QT_TRANSLATE_NOOP("Messages", "话筒"),
    QT_TRANSLATE_NOOP("Messages", "直播"),
    QT_TRANSLATE_NOOP("Messages", "模拟接口"),
    QT_TRANSLATE_NOOP("Messages", "闪避"),
    QT_TRANSLATE_NOOP("Messages", "混响音量"),
    QT_TRANSLATE_NOOP("Messages", "湿声"),
    QT_TRANSLATE_NOOP("Messages", "种类"),
    QT_TRANSLATE_NOOP("Messages", "延时"),
    QT_TRANSLATE_NOOP("Messages", "电音变声"),
    QT_TRANSLATE_NOOP("Messages", "电音调号"),
    QT_TRANSLATE_NOOP("Messages", "电音幅度"),
    QT_TRANSLATE_NOOP("Messages", "变声效果"),
    QT_TRANSLATE_NOOP("Messages", "自动关机"),
    QT_TRANSLATE_NOOP("Messages", "自动关机时间"),
    QT_TRANSLATE_NOOP("Messages", "均衡器开关"),
    QT_TRANSLATE_NOOP("Messages", "均衡器"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 100"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 250"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 500"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 750"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 1K"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 1.5K"),
    QT_TRANSLATE_NOOP("Messages", "均衡器 2K"),
    QT_TRANSLATE_NOOP("Messages", "闪避门限"),
    QT_TRANSLATE_NOOP("Messages", "闪避速度"),
    QT_TRANSLATE_NOOP("Messages", "闪避等级"),
    QT_TRANSLATE_NOOP("Messages", "高切"),
    QT_TRANSLATE_NOOP("Messages", "低切"),
    QT_TRANSLATE_NOOP("Messages", "不是 JSON 文件"),
    QT_TRANSLATE_NOOP("Messages", "不是 JSON 文件：嵌套层数过多"),
    QT_TRANSLATE_NOOP("Messages", "不是效果文件：\"format\" 必须是 \"qv7-presets\""),
    QT_TRANSLATE_NOOP("Messages", "没有版本号（本程序读取版本 1）"),
    QT_TRANSLATE_NOOP("Messages", "\"presets\" 必须是列表"),
    QT_TRANSLATE_NOOP("Messages", "必须是含 \"name\" 和 \"parameters\" 的对象"),
    QT_TRANSLATE_NOOP("Messages", "\"name\" 必须是文字"),
    QT_TRANSLATE_NOOP("Messages", "文件中此名称出现了两次"),
    QT_TRANSLATE_NOOP("Messages", "\"parameters\" 必须是对象"),
    QT_TRANSLATE_NOOP("Messages", "均衡器（eqGain）必须是 7 个数的列表"),
    QT_TRANSLATE_NOOP("Messages", "不是整数"),
};

// A text filled in below the window: its pattern with %1.. where the values go, and which of the values are
// shown as they are (names, numbers, paths, texts from the version service); the others are texts of the same
// context, translated in turn. A part pattern only matches a value of another pattern, never a whole text.
struct Pattern {
    const char* context;
    const char* source;
    const char* asTheyAre;  // the numbers of the values shown as they came
    bool part;
};

const Pattern kPatterns[] = {
    // device/mfi.cpp: the firmware transfer's failures ("%02x", "%d" filled in).
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "解锁失败,0x%1！"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "选择升级区域失败,0x%1！"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "开始升级失败,0x%1！"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "擦除失败,0x%1！"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "收到的参数错误（%1）(%2)"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "写入固件失败：设备确认了%1字节，本块只有%2字节！"), "12", false},
    // presets/preset_library.cpp: the delete question and the notices about para.bin.
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "是否需要删除常用参数： %1 ？"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "效果文件 %1 无法载入：%2，其中的效果都没有列出。保存或删除效果前，会先把原文件另存一份。"),
     "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "效果文件 %1 中有记录无法载入，已跳过：%2。保存或删除效果前，会先把原文件另存一份。"),
     "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "效果文件 %1 未能完整载入，也无法另存一份（%2），为免丢失其中的效果，没有写入。"),
     "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "效果文件 %1 未能完整载入，原文件已另存为 %2。"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "无法读取（%1）"), "1", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "文件大小 %1 字节，超过 %2 条的上限"), "12", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "文件大小 %1 字节，不是 %2 的整数倍"), "12", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1等共 %2 条"), "2", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1、%2"), "", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "第%1条（校验和错误）"), "1", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "第%1条（记录头错误）"), "1", true},
    // presets/preset_exchange.cpp: why a preset file was refused. The preset comes first, its field texts are parts.
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "第%1个效果（%2）：%3"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "第%1个效果：%2"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "不是 JSON 文件：第 %1 行第 %2 列有语法错误"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "不支持的版本 %1（本程序读取版本 1）"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "未知字段 %1"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "文件过大：%1 字节，效果文件最多 %2 字节"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1：文件不存在"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1：不是普通文件"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1：无法读取（%2）"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1：读取时文件有变化"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1（%2）为 %3，允许范围 %4"), "24", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "%1 为 %2，允许范围 %3"), "13", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "缺少字段 %1（%2）"), "2", true},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "缺少字段 %1"), "1", true},
    // update/: the two offers.
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages",
                       "改善内容：%1\n当前版本：%2\n新的版本：%3\n更新过程中请保持Tolka连接电脑\n是否需要更新？"),
     "123", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "    Tolka面板有更新的版本(%1)，请到Vexlor官网（%2）下载，或找Vexlor售后获取。\n"
                                   "    是否去官网下载？"),
     "12", false},
    // panel/preset_view.cpp: an import whose names user presets already have.
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "已有同名的用户效果：%1，是否替换？"), "1", false},
    // panel/preset_view.cpp: what an export or an import did.
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "已导出 1 个效果（%1）到 %2"), "12", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "无法导出：%1 不是普通文件"), "1", false},
    {kMessagesContext, QT_TRANSLATE_NOOP("Messages", "已从 %1 导入 %2 个效果：新增 %3 个，替换 %4 个"), "1234", false},
    // update/firmware_update.cpp: label 1076 while a write makes no progress.
    {kWindowContext, QT_TRANSLATE_NOOP("Window", "写入停滞，已 %1 秒无进展，请检查连接"), "1", false},
};
// clang-format on

struct CompiledPattern {
    const char* context;
    const char* source;
    const char* asTheyAre;
    bool part;
    QRegularExpression match;
    int values;
};

const std::vector<CompiledPattern>& patterns() {
    static const std::vector<CompiledPattern> compiled = [] {
        std::vector<CompiledPattern> out;
        static const QRegularExpression placeholder(QStringLiteral("%([1-9])"));
        for (const Pattern& p : kPatterns) {
            const QString source = QString::fromUtf8(p.source);
            QString expression = QStringLiteral("\\A");
            qsizetype at = 0;
            int values = 0;
            for (auto it = placeholder.globalMatch(source); it.hasNext();) {
                const auto m = it.next();
                expression += QRegularExpression::escape(source.mid(at, m.capturedStart() - at));
                // Shortest first: a value never swallows the text that follows it, the last one takes the rest.
                expression += QStringLiteral("(.*?)");
                at = m.capturedEnd();
                ++values;
            }
            expression += QRegularExpression::escape(source.mid(at)) + QStringLiteral("\\z");
            out.push_back({p.context, p.source, p.asTheyAre, p.part,
                           QRegularExpression(expression, QRegularExpression::DotMatchesEverythingOption), values});
        }
        return out;
    }();
    return compiled;
}

bool allAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Values of patterns nest at most a few deep (a notice, its list, the list's items).
constexpr int kMaxDepth = 12;

QString translated(const char* context, const QString& text, const char* disambiguation, bool part, int depth) {
    const QByteArray utf8 = text.toUtf8();
    // Every text the window has to translate is Chinese: numbers, versions and most names need no look-up.
    if (allAscii({utf8.constData(), static_cast<std::size_t>(utf8.size())})) return text;
    QString exact = QCoreApplication::translate(context, utf8.constData(), disambiguation);
    if (exact != text || depth >= kMaxDepth) return exact;
    for (const CompiledPattern& p : patterns()) {
        if (std::strcmp(p.context, context) != 0 || (p.part && !part)) continue;
        const QRegularExpressionMatch m = p.match.match(text);
        if (!m.hasMatch()) continue;
        const QString pattern = QCoreApplication::translate(context, p.source);
        // No translation: the text stays exactly as it came.
        if (pattern == QString::fromUtf8(p.source)) return text;
        QStringList values;
        for (int i = 1; i <= p.values; ++i) {
            const QString value = m.captured(i);
            const bool asItIs = std::strchr(p.asTheyAre, '0' + i) != nullptr;
            values.push_back(asItIs ? value : translated(context, value, nullptr, true, depth + 1));
        }
        // All values in one pass: a value holding "%2" (a path may) is never filled in again.
        switch (values.size()) {
        case 1:
            return pattern.arg(values[0]);
        case 2:
            return pattern.arg(values[0], values[1]);
        case 3:
            return pattern.arg(values[0], values[1], values[2]);
        case 4:
            return pattern.arg(values[0], values[1], values[2], values[3]);
        default:
            return text;
        }
    }
    return text;
}

}  // namespace

QString shownText(const char* context, std::string_view text, const char* disambiguation) {
    return translated(context, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), disambiguation,
                      false, 0);
}

bool windowInEnglish() {
    // Whatever translator is installed decides, so ask it about a text every translation has.
    return windowText("关闭") != QStringLiteral("关闭");
}

}  // namespace qv7::panel
