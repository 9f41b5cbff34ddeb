// The files that the cutter, kerf and kerfdmx exchange in the work folder (the program's folder for
// the window program, a private folder for kerf), named once.
#pragma once

constexpr char kDemuxInfoFileName[] = "DEMUX.txt";      // the programme structure kerfdmx writes
constexpr char kDemuxControlFileName[] = "DEMUX.tmp";   // the control file of a whole cut
constexpr char kDemuxConfigFileName[] = "DEMUX.cfg";    // the control file of a per-programme cut
constexpr char kLockFileName[] = "lockfile";            // the caller's lock: a run goes on while it exists
