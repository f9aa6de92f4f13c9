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

// Prose set vertically: 《》 holds the ruby of the kanji before it.
inline QStringList VerticalJapanese() {
    return {
        QStringLiteral("朝から雨が降っていた。私は窓を開けて、庭に咲いた紫陽花《あじさい》を"
                       "眺めた。「今日は一日中降るそうよ」と母が言った。"),
        QStringLiteral("駅までの道は静かで、傘をさした人が何人か歩いていた。電車は12分ほど"
                       "遅れていたが、誰も文句を言わなかった。会社に着くと、同僚《どうりょう》"
                       "が温かいお茶を入れてくれた。"),
        QStringLiteral("午後は資料を整理し、夕方には来週の会議の準備を終えた。帰り道、雨は"
                       "上がり、西の空に虹《にじ》が見えた。"),
    };
}

inline QString VerticalHeading() {
    return QStringLiteral("雨の日の記録");
}

} // namespace OcrTexts
