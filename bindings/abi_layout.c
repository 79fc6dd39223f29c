/* Prints the layout of talven.h's structs as the C compiler lays them out,
 * for the bindings' tests to compare with their own: one line per field,
 * "STRUCT FIELD OFFSET SIZE", and one per struct, "STRUCT - 0 SIZE". */
#include <stddef.h>
#include <stdio.h>

#include "talven.h"

#define STRUCT(s) printf("%s - 0 %u\n", #s, (unsigned)sizeof(s))
#define FIELD(s, f) printf("%s %s %u %u\n", #s, #f, (unsigned)offsetof(s, f), (unsigned)sizeof(((s *)0)->f))

int main(void)
{
    STRUCT(TALVEN_PARAMETERINFO);
    FIELD(TALVEN_PARAMETERINFO, id);
    FIELD(TALVEN_PARAMETERINFO, title);
    FIELD(TALVEN_PARAMETERINFO, shortTitle);
    FIELD(TALVEN_PARAMETERINFO, units);
    FIELD(TALVEN_PARAMETERINFO, stepCount);
    FIELD(TALVEN_PARAMETERINFO, defaultNormalizedValue);
    FIELD(TALVEN_PARAMETERINFO, unitId);
    FIELD(TALVEN_PARAMETERINFO, flags);

    STRUCT(TALVEN_CLASSINFO);
    FIELD(TALVEN_CLASSINFO, size);
    FIELD(TALVEN_CLASSINFO, name);
    FIELD(TALVEN_CLASSINFO, vendor);
    FIELD(TALVEN_CLASSINFO, version);
    FIELD(TALVEN_CLASSINFO, category);
    FIELD(TALVEN_CLASSINFO, subCategories);
    FIELD(TALVEN_CLASSINFO, sdkVersion);
    FIELD(TALVEN_CLASSINFO, classId);

    STRUCT(TALVEN_INFO);
    FIELD(TALVEN_INFO, size);
    FIELD(TALVEN_INFO, plugin);
    FIELD(TALVEN_INFO, inputChannels);
    FIELD(TALVEN_INFO, outputChannels);
    FIELD(TALVEN_INFO, latencySamples);
    FIELD(TALVEN_INFO, tailSamples);
    FIELD(TALVEN_INFO, hasEditor);
    FIELD(TALVEN_INFO, parameterCount);

    STRUCT(TALVEN_MIDI_EVENT);
    FIELD(TALVEN_MIDI_EVENT, frame);
    FIELD(TALVEN_MIDI_EVENT, status);
    FIELD(TALVEN_MIDI_EVENT, data1);
    FIELD(TALVEN_MIDI_EVENT, data2);
    FIELD(TALVEN_MIDI_EVENT, reserved);
    FIELD(TALVEN_MIDI_EVENT, size);
    FIELD(TALVEN_MIDI_EVENT, data);

    STRUCT(TALVEN_ATTACH);
    FIELD(TALVEN_ATTACH, size);
    FIELD(TALVEN_ATTACH, path);
    FIELD(TALVEN_ATTACH, classId);
    FIELD(TALVEN_ATTACH, priority);
    FIELD(TALVEN_ATTACH, flags);
    FIELD(TALVEN_ATTACH, showEditor);
    FIELD(TALVEN_ATTACH, editorX);
    FIELD(TALVEN_ATTACH, editorY);
    FIELD(TALVEN_ATTACH, positionCallback);
    FIELD(TALVEN_ATTACH, title);
    return 0;
}
