// The summary's text (see demux_summary.h).
#include "demux/demux_summary.h"

#include <cstdio>

void format_summary(const DemuxSummary& s, char (&text)[kSummaryTextSize]) {
  std::snprintf(text, sizeof text,
                "\n"
                "＜集計情報＞\n"
                "TSﾊﾟｹｯﾄの総数 =%08Xh\n"
                "PIDの種類数   =%08Xh\n"
                "記述子の種類数=%08Xh\n"
                "\n"
                "NULLﾊﾟｹｯﾄの数 =%08Xh\n"
                "SYNCｴﾗｰの数   =%08Xh\n"
                "CRCｴﾗｰの数    =%08Xh\n"
                "\n",
                unsigned(s.packets), unsigned(s.distinctPids), unsigned(s.descriptorKinds),
                unsigned(s.nullPackets), unsigned(s.syncLosses), unsigned(s.crcErrors));
}
