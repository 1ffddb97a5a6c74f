// Sentences of known text in English and in Chinese, printed on the
// generated pages that the benchmarks and suites read back.
#ifndef QUILLO_BENCH_SAMPLETEXT_H
#define QUILLO_BENCH_SAMPLETEXT_H

namespace sampletext {

inline const char *const kEnglish[] = {
    "The reading room opened at nine, and the first visitors took the long tables by the windows.",
    "Every volume on the shelves had been catalogued twice, once by hand and once by machine.",
    "She turned the page slowly, because the binding was old and the paper had grown brittle.",
    "A camera above the desk recorded each spread while the reader held the book open.",
    "Nobody remembered who had written the notes in the margin, but they were always correct.",
    "The archive kept letters, maps, ledgers and diaries from more than three hundred years.",
    "When the light from the lamp fell across the spine, the inner lines curved into shadow.",
    "Students copied passages into notebooks and compared their readings in the afternoon.",
    "The librarian said that a good index is worth more than a thousand pages of summary.",
    "Rain drummed on the roof while the last chapter was read aloud to the quiet room.",
};

inline const char *const kChinese[] = {
    "图书馆的阅览室早上九点开门，第一批读者坐在靠窗的长桌旁。",
    "书架上的每一本书都编过两次目录，一次手写，一次用机器。",
    "她慢慢地翻过一页，因为装订已经很旧，纸张也变得很脆。",
    "桌子上方的相机记录下每一个对开页，读者用手把书打开。",
    "没有人记得页边的批注是谁写的，但是它们总是正确的。",
    "档案馆保存着三百多年来的信件、地图、账簿和日记。",
    "当灯光照在书脊上时，靠近中缝的文字行弯进了阴影里。",
    "学生们把段落抄进笔记本，下午再互相比较各自的理解。",
    "管理员说，一个好的索引胜过一千页的摘要。",
    "雨点敲打着屋顶，最后一章被大声朗读给安静的房间。",
};

} // namespace sampletext

#endif
