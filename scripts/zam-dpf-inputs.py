#!/usr/bin/env python3
"""Mends the VST 3 wrapper of Debian's DPF (1.6) in a copied tree so that a
plug-in hears every input bus, not only the first.

That wrapper hands the plug-in's input ports, in order, the channels of
data->inputs[0] alone; the ports of any further bus (ZamCompX2's side-chain
input, bus 1) get a silent buffer whatever the host passes there. The block
that does so is replaced by one that takes each active port from its own
bus, as the port's place among that bus's ports.

Usage: zam-dpf-inputs.py <dpf tree>. Fails loudly when the block is not found
as expected (another DPF), rather than building an unmended plug-in.
"""
import pathlib
import sys

REPLACEMENT = """if (data->inputs != nullptr)
            {
                // Mended by Talven's zam-plugins build: each port from its
                // own bus (the first bus alone left a side-chain silent).
                int32_t used[DISTRHO_PLUGIN_NUM_INPUTS] = {};
                for (; i < DISTRHO_PLUGIN_NUM_INPUTS; ++i)
                {
                    const uint32_t bus = fPlugin.getAudioPort(true, i).busId;
                    const int32_t place = used[bus]++;
                    const bool present = fEnabledInputs[i]
                        && static_cast<int32_t>(bus) < data->num_input_buses
                        && place < data->inputs[bus].num_channels;
                    inputs[i] = present ? data->inputs[bus].channel_buffers_32[place]
                                        : fDummyAudioBuffer;
                }
            }"""


def main() -> int:
    path = pathlib.Path(sys.argv[1]) / "distrho/src/DistrhoPluginVST3.cpp"
    text = path.read_text()
    if "Mended by Talven" in text:
        return 0
    # The input mapping of process(): the first test of data->inputs after
    # the dummy buffer is cleared, through its matching closing brace.
    anchor = text.find("std::memset(fDummyAudioBuffer, 0, sizeof(float)*data->nframes);")
    start = text.find("if (data->inputs != nullptr)", anchor)
    if anchor < 0 or start < 0 or "data->inputs->channel_buffers_32[j]" not in text[start:start + 800]:
        print(f"zam-dpf-inputs: {path}: the input mapping is not where it was expected", file=sys.stderr)
        return 1
    depth = 0
    end = text.find("{", start)
    while True:
        if text[end] == "{":
            depth += 1
        elif text[end] == "}":
            depth -= 1
            if depth == 0:
                break
        end += 1
    path.write_text(text[:start] + REPLACEMENT + text[end + 1:])
    return 0


if __name__ == "__main__":
    sys.exit(main())
