#include "carriage_number/ClassifierTables.h"

namespace kalvero {

namespace {

constexpr std::array<ProbeSegment, kProbeCount> kProbeSegments = {{
    // k: from (x, y) -> to (x, y)
    {0.1f, 0.071f, 0.5f, 0.071f},  // 0
    {0.5f, 0.071f, 0.9f, 0.071f},  // 1
    {0.9f, 0.071f, 0.9f, 0.357f},  // 2
    {0.9f, 0.357f, 0.9f, 0.643f},  // 3
    {0.9f, 0.643f, 0.9f, 0.929f},  // 4
    {0.9f, 0.929f, 0.5f, 0.929f},  // 5
    {0.5f, 0.929f, 0.1f, 0.929f},  // 6
    {0.1f, 0.929f, 0.1f, 0.643f},  // 7
    {0.1f, 0.643f, 0.1f, 0.357f},  // 8
    {0.1f, 0.357f, 0.1f, 0.071f},  // 9
    {0.1f, 0.214f, 0.3f, 0.071f},  // 10
    {0.3f, 0.071f, 0.7f, 0.071f},  // 11
    {0.7f, 0.071f, 0.9f, 0.214f},  // 12
    {0.9f, 0.214f, 0.9f, 0.357f},  // 13
    {0.9f, 0.357f, 0.1f, 0.929f},  // 14
    {0.9f, 0.357f, 0.7f, 0.5f},  // 15
    {0.7f, 0.5f, 0.3f, 0.5f},  // 16
    {0.3f, 0.5f, 0.1f, 0.357f},  // 17
    {0.1f, 0.357f, 0.1f, 0.214f},  // 18
    {0.7f, 0.5f, 0.9f, 0.643f},  // 19
    {0.9f, 0.643f, 0.9f, 0.786f},  // 20
    {0.9f, 0.786f, 0.7f, 0.929f},  // 21
    {0.7f, 0.929f, 0.3f, 0.929f},  // 22
    {0.3f, 0.929f, 0.1f, 0.786f},  // 23
    {0.1f, 0.786f, 0.1f, 0.643f},  // 24
    {0.1f, 0.643f, 0.3f, 0.5f},  // 25
    {0.7f, 0.5f, 0.5f, 0.929f},  // 26
    {0.9f, 0.5f, 0.7f, 0.929f},  // 27
}};

// Probe k is character k of each pattern.
constexpr std::array<const char*, kShapeClassCount> kProbePrototypes = {{
    "CCCCCCCCCCCCCC--E-C-CCCCC--C",  // class 0, digit 0: 21 covered, 1 empty
    "CCC--CC-E-CCCCCC-E--E-CCEEC-",  // class 1, digit 2: 14 covered, 5 empty
    "CC--CCC-EE-CC---CEECCCCC-E-C",  // class 2, digit 3: 14 covered, 5 empty
    "ECCCC---CEE--C--C-ECCC-E-CCC",  // class 3, digit 4: 13 covered, 5 empty
    "CC--CCC--CCCCE--CCCCCCCCE-CC",  // class 4, digit 5: 19 covered, 2 empty
    "--E-CCCCCEE-EE--C--CCCCCCC-C",  // class 5, digit 6: 14 covered, 5 empty
    "CCC-E--EE--CCC---EE-EE-EEEC-",  // class 6, digit 7: 7 covered, 10 empty
    "CCCCCCCCCCCCCC-CCCCCCCCCCC-C",  // class 7, digit 8: 26 covered, 0 empty
    "CCCCE--E-CCCCC-CCCC-EE-EE-CC",  // class 8, digit 9: 15 covered, 6 empty
}};

constexpr std::array<ZoneGrid, kShapeClassCount> kZoneReferenceGrids = {{
    // class 0, digit 0
    {{
        0.893f, 1.0f, 1.0f, 1.0f, 0.916f,
        1.0f, 0.484f, 0.115f, 0.34f, 1.0f,
        1.0f, 0.364f, 0.0f, 0.273f, 1.0f,
        1.0f, 0.364f, 0.0f, 0.273f, 1.0f,
        1.0f, 0.364f, 0.0f, 0.273f, 1.0f,
        1.0f, 0.364f, 0.0f, 0.273f, 1.0f,
        1.0f, 0.364f, 0.0f, 0.273f, 1.0f,
        1.0f, 0.364f, 0.0f, 0.273f, 1.0f,
        1.0f, 0.476f, 0.176f, 0.409f, 1.0f,
        0.824f, 1.0f, 1.0f, 1.0f, 0.824f
    }},
    // class 1, digit 2
    {{
        0.169f, 0.837f, 0.986f, 0.751f, 0.098f,
        0.852f, 0.79f, 0.39f, 0.869f, 0.768f,
        0.874f, 0.256f, 0.0f, 0.412f, 0.986f,
        0.0f, 0.0f, 0.0f, 0.643f, 0.852f,
        0.0f, 0.0f, 0.155f, 0.993f, 0.51f,
        0.0f, 0.0f, 0.664f, 0.891f, 0.034f,
        0.0f, 0.26f, 0.995f, 0.362f, 0.0f,
        0.005f, 0.813f, 0.83f, 0.005f, 0.0f,
        0.397f, 1.0f, 0.717f, 0.44f, 0.44f,
        0.832f, 1.0f, 1.0f, 1.0f, 1.0f
    }},
    // class 2, digit 3
    {{
        0.531f, 0.919f, 0.919f, 0.919f, 0.914f,
        0.228f, 0.426f, 0.476f, 1.0f, 0.817f,
        0.0f, 0.0f, 0.414f, 0.922f, 0.125f,
        0.0f, 0.127f, 0.97f, 0.477f, 0.0f,
        0.0f, 0.188f, 0.998f, 0.734f, 0.01f,
        0.0f, 0.0f, 0.283f, 0.905f, 0.485f,
        0.0f, 0.0f, 0.0f, 0.363f, 0.916f,
        0.451f, 0.033f, 0.0f, 0.389f, 0.999f,
        0.963f, 0.701f, 0.561f, 0.846f, 0.811f,
        0.523f, 0.982f, 1.0f, 0.997f, 0.427f
    }},
    // class 3, digit 4
    {{
        0.0f, 0.0f, 0.235f, 0.953f, 0.351f,
        0.0f, 0.0f, 0.697f, 1.0f, 0.357f,
        0.0f, 0.2f, 0.996f, 1.0f, 0.357f,
        0.0f, 0.761f, 0.989f, 1.0f, 0.357f,
        0.281f, 1.0f, 0.665f, 1.0f, 0.357f,
        0.783f, 0.864f, 0.238f, 1.0f, 0.357f,
        1.0f, 0.902f, 0.82f, 1.0f, 0.794f,
        0.617f, 0.623f, 0.71f, 1.0f, 0.711f,
        0.0f, 0.0f, 0.214f, 1.0f, 0.357f,
        0.0f, 0.0f, 0.208f, 1.0f, 0.351f
    }},
    // class 4, digit 5
    {{
        0.918f, 1.0f, 1.0f, 1.0f, 0.994f,
        0.924f, 0.666f, 0.475f, 0.475f, 0.469f,
        0.947f, 0.364f, 0.0f, 0.0f, 0.0f,
        1.0f, 0.424f, 0.0f, 0.0f, 0.0f,
        1.0f, 0.853f, 0.772f, 0.61f, 0.042f,
        0.887f, 0.544f, 0.54f, 0.97f, 0.645f,
        0.0f, 0.0f, 0.0f, 0.555f, 0.872f,
        0.031f, 0.0f, 0.0f, 0.564f, 0.848f,
        0.895f, 0.571f, 0.505f, 0.959f, 0.627f,
        0.688f, 0.964f, 0.986f, 0.632f, 0.047f
    }},
    // class 5, digit 6
    {{
        0.0f, 0.122f, 0.986f, 0.376f, 0.0f,
        0.0f, 0.444f, 0.991f, 0.114f, 0.0f,
        0.0f, 0.769f, 0.756f, 0.0f, 0.0f,
        0.141f, 0.998f, 0.407f, 0.0f, 0.0f,
        0.46f, 1.0f, 0.418f, 0.171f, 0.0f,
        0.795f, 1.0f, 0.989f, 0.995f, 0.373f,
        1.0f, 0.487f, 0.021f, 0.635f, 0.862f,
        0.99f, 0.244f, 0.0f, 0.408f, 0.99f,
        0.793f, 0.759f, 0.423f, 0.885f, 0.752f,
        0.199f, 0.839f, 0.996f, 0.758f, 0.095f
    }},
    // class 6, digit 7
    {{
        0.839f, 0.919f, 0.919f, 0.919f, 0.908f,
        0.554f, 0.613f, 0.613f, 0.779f, 0.957f,
        0.0f, 0.0f, 0.0f, 0.603f, 0.676f,
        0.0f, 0.0f, 0.0f, 0.827f, 0.403f,
        0.0f, 0.0f, 0.067f, 0.981f, 0.21f,
        0.0f, 0.0f, 0.302f, 0.972f, 0.035f,
        0.0f, 0.0f, 0.604f, 0.814f, 0.0f,
        0.0f, 0.005f, 0.878f, 0.586f, 0.0f,
        0.0f, 0.135f, 1.0f, 0.32f, 0.0f,
        0.0f, 0.267f, 0.972f, 0.066f, 0.0f
    }},
    // class 7, digit 8
    {{
        0.061f, 0.681f, 0.959f, 0.852f, 0.236f,
        0.583f, 0.753f, 0.163f, 0.322f, 0.919f,
        0.793f, 0.249f, 0.0f, 0.0f, 0.868f,
        0.672f, 0.476f, 0.0f, 0.065f, 0.934f,
        0.136f, 0.963f, 0.679f, 0.88f, 0.535f,
        0.416f, 0.914f, 0.614f, 0.803f, 0.779f,
        0.819f, 0.309f, 0.0f, 0.158f, 1.0f,
        0.949f, 0.265f, 0.0f, 0.035f, 0.989f,
        0.672f, 0.571f, 0.0f, 0.42f, 0.749f,
        0.092f, 0.851f, 0.95f, 0.845f, 0.128f
    }},
    // class 8, digit 9
    {{
        0.102f, 0.79f, 1.0f, 0.748f, 0.14f,
        0.66f, 0.856f, 0.428f, 0.81f, 0.811f,
        0.939f, 0.351f, 0.0f, 0.272f, 0.99f,
        0.944f, 0.642f, 0.044f, 0.57f, 0.824f,
        0.404f, 0.999f, 0.99f, 1.0f, 0.562f,
        0.0f, 0.175f, 0.488f, 1.0f, 0.303f,
        0.0f, 0.0f, 0.416f, 0.958f, 0.044f,
        0.0f, 0.0f, 0.75f, 0.725f, 0.0f,
        0.0f, 0.0f, 0.957f, 0.425f, 0.0f,
        0.0f, 0.0f, 0.921f, 0.156f, 0.0f
    }},
}};

}  // namespace

const std::array<ProbeSegment, kProbeCount>& ProbeSegments() { return kProbeSegments; }

const std::array<const char*, kShapeClassCount>& ProbePrototypes() { return kProbePrototypes; }

const std::array<ZoneGrid, kShapeClassCount>& ZoneReferenceGrids() { return kZoneReferenceGrids; }

}  // namespace kalvero
