// The plug-in's own Japanese texts, as the code page 932 bytes it hands out.
// Every CP932 literal of the system lives here, each beside its readable form.
#pragma once

namespace pixtagger::texts {

// "画像の面積から属性を生成する。" (generates attributes from the image's area)
inline constexpr char kSummary[] =
    "\x89\xe6"  // 画
    "\x91\x9c"  // 像
    "\x82\xcc"  // の
    "\x96\xca"  // 面
    "\x90\xcf"  // 積
    "\x82\xa9"  // か
    "\x82\xe7"  // ら
    "\x91\xae"  // 属
    "\x90\xab"  // 性
    "\x82\xf0"  // を
    "\x90\xb6"  // 生
    "\x90\xac"  // 成
    "\x82\xb7"  // す
    "\x82\xe9"  // る
    "\x81\x42";  // 。

// Operator symbols in CompareOp order: "＜" "≦" "＝" "≧" "＞".
inline constexpr const char* kCompareOpSymbols[5] = {
    "\x81\x83",  // ＜
    "\x81\x85",  // ≦
    "\x81\x81",  // ＝
    "\x81\x86",  // ≧
    "\x81\x84",  // ＞
};

// "属性名称を入力して下さい。": the editor's OK with an empty attribute name
inline constexpr char kEnterAttributeName[] =
    "\x91\xae"  // 属
    "\x90\xab"  // 性
    "\x96\xbc"  // 名
    "\x8f\xcc"  // 称
    "\x82\xf0"  // を
    "\x93\xfc"  // 入
    "\x97\xcd"  // 力
    "\x82\xb5"  // し
    "\x82\xc4"  // て
    "\x89\xba"  // 下
    "\x82\xb3"  // さ
    "\x82\xa2"  // い
    "\x81\x42";  // 。

// "属性名称に \ を含める事はできません。": the editor's OK with a backslash in the attribute name
inline constexpr char kNoBackslashInAttributeName[] =
    "\x91\xae"  // 属
    "\x90\xab"  // 性
    "\x96\xbc"  // 名
    "\x8f\xcc"  // 称
    "\x82\xc9"  // に
    " \\ "
    "\x82\xf0"  // を
    "\x8a\xdc"  // 含
    "\x82\xdf"  // め
    "\x82\xe9"  // る
    "\x8e\x96"  // 事
    "\x82\xcd"  // は
    "\x82\xc5"  // で
    "\x82\xab"  // き
    "\x82\xdc"  // ま
    "\x82\xb9"  // せ
    "\x82\xf1"  // ん
    "\x81\x42";  // 。

// "エラー": caption of the editor's error boxes
inline constexpr char kErrorCaption[] =
    "\x83\x47"  // エ
    "\x83\x89"  // ラ
    "\x81\x5b";  // ー

// "選択した条件を削除しますか？": the list's question before Delete
inline constexpr char kConfirmDelete[] =
    "\x91\x49"  // 選
    "\x91\xf0"  // 択
    "\x82\xb5"  // し
    "\x82\xbd"  // た
    "\x8f\xf0"  // 条
    "\x8c\x8f"  // 件
    "\x82\xf0"  // を
    "\x8d\xed"  // 削
    "\x8f\x9c"  // 除
    "\x82\xb5"  // し
    "\x82\xdc"  // ま
    "\x82\xb7"  // す
    "\x82\xa9"  // か
    "\x81\x48";  // ？

// "確認": caption of that question
inline constexpr char kConfirmCaption[] =
    "\x8a\x6d"  // 確
    "\x94\x46";  // 認

// "属性名称": list column 0
inline constexpr char kColumnAttribute[] =
    "\x91\xae"  // 属
    "\x90\xab"  // 性
    "\x96\xbc"  // 名
    "\x8f\xcc";  // 称

// "カテゴリ": list column 1
inline constexpr char kColumnCategory[] =
    "\x83\x4a"  // カ
    "\x83\x65"  // テ
    "\x83\x53"  // ゴ
    "\x83\x8a";  // リ

// "条件": list column 2
inline constexpr char kColumnCondition[] =
    "\x8f\xf0"  // 条
    "\x8c\x8f";  // 件

// "面積 %s %d": column 2 of a type A rule: operator, threshold
inline constexpr char kConditionFormatA[] =
    "\x96\xca"  // 面
    "\x90\xcf"  // 積
    " %s %d";

// "%d %s 面積 %s %d": column 2 of a range: lower, operator, operator, upper
inline constexpr char kConditionFormatB[] =
    "%d %s "
    "\x96\xca"  // 面
    "\x90\xcf"  // 積
    " %s %d";

}  // namespace pixtagger::texts
