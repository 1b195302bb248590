// Host parameters: every value the host can set, and the queries "return",
// "_events" and "_commands". A set answers with empty text, which the frame
// hands to the host as no answer at all.
#include "tessaly_q.h"

#include "tessaly_q_controls.h"

namespace ctl = tessaly_q_controls;

namespace {

// One "name=value" line of a listing, with a line feed before every line
// but the first.
void addLine(zelm_string& listing, const char* name, const zelm_string& value)
{
    if (!listing.isEmpty())
        listing += '\n';
    listing += name;
    listing += '=';
    listing += value;
}

}  // namespace

zelm_string Tessaly_Q::onParameter(parameterEvent event)
{
    const zelm_string name = event.command();
    const zelm_string value = event.value();

    if (name == "return") {
        zelm_string answer;
        if (value == "all") {
            addLine(answer, "matrixobject", matrixObject);
            addLine(answer, "uselevels", useLevels);
            addLine(answer, "srcnamesdatabase", zelm_string(srcNamesDatabase));
            addLine(answer, "destnamesdatabase", zelm_string(destNamesDatabase));
            addLine(answer, "takelow", takeLow);
            addLine(answer, "takehigh", takeHigh);
            addLine(answer, "mimicstate_L1", mimicState[0]);
            addLine(answer, "mimicstate_L2", mimicState[1]);
            addLine(answer, "mimicstate_L3", mimicState[2]);
            addLine(answer, "takeundobgstate", takeUndoBgState);
            addLine(answer, "unusedleveltext", unusedLevelText);
        } else if (value == "srcpkg") {
            addLine(answer, "srcpkg", srcPkgText);
        } else if (value == "destpkg") {
            addLine(answer, "destpkg", destPkgText);
        }
        return answer;
    }

    if (name == "srcpkg") {
        srcPkgText = value;
        srcPkg = value.toInt();
        resolveSourcePackage();
        updateTake();
    } else if (name == "destpkg") {
        destPkgText = value;
        destPkg = value.toInt();
        resolveDestPackage();
        updateTake();
    } else if (name == "instance") {
        instance = value;
    } else if (name == "matrixobject") {
        matrixObject = value;
        configureLevels();  // also when unchanged: a set re-applies the settings
    } else if (name == "uselevels") {
        useLevels = value;
        configureLevels();
    } else if (name == "srcnamesdatabase") {
        srcNamesDatabaseText = value;
        srcNamesDatabase = value.toInt();
        relabelNames(srcNamesDatabase, srcIndex, ctl::sourceName, undoSrc, ctl::undoSourceName);
    } else if (name == "destnamesdatabase") {
        destNamesDatabaseText = value;
        destNamesDatabase = value.toInt();
        relabelNames(destNamesDatabase, destIndex, ctl::destName, undoDest, ctl::undoDestName);
    } else if (name == "takelow") {
        takeLow = value;  // applied the next time "Take" is painted
    } else if (name == "takehigh") {
        takeHigh = value;
    } else if (name == "mimicstate_L1" || name == "mimicstate_L2" || name == "mimicstate_L3") {
        const int entry = name == "mimicstate_L1" ? 0 : name == "mimicstate_L2" ? 1 : 2;
        mimicState[entry] = value;
        setStateSheet(value, ctl::sourceName[entry]);
        setStateSheet(value, ctl::undoSourceName[entry]);
        setStateSheet(value, ctl::destName[entry]);
        setStateSheet(value, ctl::undoDestName[entry]);
    } else if (name == "takeundobgstate") {
        takeUndoBgState = value;
        setStateSheet(value, ctl::background);
    } else if (name == "unusedleveltext") {
        unusedLevelText = value;  // labels take it at their next refresh
    } else if (name == "_events") {
        return zelm_string(ctl::selectionCleared);
    } else if (name == "_commands") {
        return zelm_string("srcpkg=[value]\ndestpkg=[value]");
    }
    return zelm_string();
}

void Tessaly_Q::relabelNames(std::int32_t namesDatabase, const std::int32_t (&index)[levelCount],
                             const char* const (&labels)[levelCount], const std::int32_t (&undoIndex)[levelCount],
                             const char* const (&undoLabels)[levelCount])
{
    // One holder for all six labels, emptied before each lookup.
    zelm_string holder;
    for (int entry = 0; entry < levelCount; ++entry)
        if (index[entry] > 0 && levelDevice[entry] > 0)
            showLookedUpName(levelDevice[entry], namesDatabase, index[entry], holder, labels[entry]);
    for (int entry = 0; entry < levelCount; ++entry)
        if (undoIndex[entry] > 0 && levelDevice[entry] > 0)
            showLookedUpName(levelDevice[entry], namesDatabase, undoIndex[entry], holder, undoLabels[entry]);
}
