// The marker codes of ITU-T T.81 Table B.1: the byte after the 0xFF prefix.
#pragma once

namespace xtpjpeg {

enum Marker : int {
    // Start of frame, Huffman coding: baseline, extended sequential, progressive, lossless.
    kSof0 = 0xC0,
    kSof1 = 0xC1,
    kSof2 = 0xC2,
    kSof3 = 0xC3,
    kDht = 0xC4, // define Huffman tables
    // Start of frame, differential Huffman coding.
    kSof5 = 0xC5,
    kSof6 = 0xC6,
    kSof7 = 0xC7,
    kJpg = 0xC8, // reserved for JPEG extensions
    // Start of frame, arithmetic coding (SOF9..SOF11), differential arithmetic (SOF13..SOF15).
    kSof9 = 0xC9,
    kSof10 = 0xCA,
    kSof11 = 0xCB,
    kDac = 0xCC, // define arithmetic coding conditioning
    kSof13 = 0xCD,
    kSof14 = 0xCE,
    kSof15 = 0xCF,
    kRst0 = 0xD0,
    kRst1 = 0xD1,
    kRst2 = 0xD2,
    kRst3 = 0xD3,
    kRst4 = 0xD4,
    kRst5 = 0xD5,
    kRst6 = 0xD6,
    kRst7 = 0xD7,
    kSoi = 0xD8, // start of image
    kEoi = 0xD9, // end of image
    kSos = 0xDA, // start of scan
    kDqt = 0xDB, // define quantization tables
    kDnl = 0xDC, // define number of lines
    kDri = 0xDD, // define restart interval
    kDhp = 0xDE, // define hierarchical progression
    kExp = 0xDF, // expand reference components
    kApp0 = 0xE0,
    kApp1 = 0xE1,
    kApp2 = 0xE2,
    kApp3 = 0xE3,
    kApp4 = 0xE4,
    kApp5 = 0xE5,
    kApp6 = 0xE6,
    kApp7 = 0xE7,
    kApp8 = 0xE8,
    kApp9 = 0xE9,
    kApp10 = 0xEA,
    kApp11 = 0xEB,
    kApp12 = 0xEC,
    kApp13 = 0xED,
    kApp14 = 0xEE,
    kApp15 = 0xEF,
    kCom = 0xFE, // comment
    kTem = 0x01, // temporary private use in arithmetic coding
};

// The byte every marker starts with (and a fill byte before one, T.81 B.1.1.2).
constexpr int kMarkerPrefix = 0xFF;

} // namespace xtpjpeg
