#pragma once

#include <QStringList>

// The paragraphs the recognition tests render and read back.
namespace OcrTexts {

inline QStringList English() {
    return {
        QStringLiteral("The quick brown fox jumps over the lazy dog near the river."),
        QStringLiteral("Reading printed pages with a scanner turns them into images"),
        QStringLiteral("that a recognition engine converts back into editable text."),
        QStringLiteral("Every line of this paragraph is rendered by the test itself,"),
        QStringLiteral("so the expected words are known and errors can be counted."),
    };
}

inline QStringList Japanese() {
    return {
        QStringLiteral("今日は朝から雨が降っていたので、駅まで歩いて行き"),
        QStringLiteral("ました。電車の中で新聞を読みながら、来週の会議に"),
        QStringLiteral("ついて考えました。会社に着くと、同僚がコーヒーを"),
        QStringLiteral("入れてくれました。午後は資料を作成し、夕方には"),
        QStringLiteral("打ち合わせを行いました。明日は晴れるそうです。"),
    };
}

} // namespace OcrTexts
