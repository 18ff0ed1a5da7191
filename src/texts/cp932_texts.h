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
    "\x81\x42"; // 。

// Operator symbols in CompareOp order: "＜" "≦" "＝" "≧" "＞".
inline constexpr const char* kCompareOpSymbols[5] = {
    "\x81\x83",  // ＜
    "\x81\x85",  // ≦
    "\x81\x81",  // ＝
    "\x81\x86",  // ≧
    "\x81\x84",  // ＞
};

}  // namespace pixtagger::texts
