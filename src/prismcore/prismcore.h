/* Prismcore: the frost renderer (libprismcore.so / Prismcore.dll).
 *
 * Draws a scene of triangles over a picture: orthographic projection (one scene unit = one
 * pixel, point (x, y, z) lands at pixel position (centerX + x, centerY + y), rows downward,
 * larger z nearer), a depth buffer in which the later triangle wins at equal depth, one
 * material, point lights, a bump texture and glass that refracts the source picture.
 *
 * Use: call the five settings, then __RasterScene. The library keeps no reference to any
 * argument after a call returns and never writes anything but the background buffer.
 * Components are bytes (0..255) or, after __SetDeep(1), unsigned 16-bit (full scale 32768);
 * pixels are red, green, blue, alpha. __RasterScene may run worker threads (environment
 * variable PRISMCORE_THREADS, 1 = none; default all cores) and returns when the picture is
 * complete; the picture does not depend on the thread count.
 *
 * Invalid input is never fatal: a call with a non-positive size, a null buffer or a row
 * shorter than 4 x width draws nothing; triangles with an index outside the point array or
 * with non-finite coordinates are skipped.
 *
 * The record layouts are binary interfaces: every offset below is checked at compile time.
 * All records are the same on 32-bit and 64-bit builds except __Texture, which holds a
 * pointer (see there).
 */
#ifndef PRISMCORE_PRISMCORE_H
#define PRISMCORE_PRISMCORE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(PRISMCORE_BUILD)
#define PRISMCORE_API __declspec(dllexport)
#else
#define PRISMCORE_API __declspec(dllimport)
#endif
#define PRISMCORE_CALL __cdecl
#else
#define PRISMCORE_API __attribute__((visibility("default")))
#define PRISMCORE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One triangle corner (corners are not shared between triangles). */
typedef struct __Point3ds {
    float x, y, z; /* 0: scene units */
    uint8_t used;  /* 12: 1 */
    uint8_t pad13[3];
    float u, v;    /* 16: texture coordinates of the corner */
    uint8_t flags; /* 24: the generator's corner flag; not used for drawing */
    uint8_t pad25[3];
    float nx, ny, nz; /* 28: corner normal, interpolated in Phong mode */
} __Point3ds;

/* One triangle: three indices into the point array; array order is drawing order. */
typedef struct __Triangle3ds {
    uint32_t index[3]; /* 0 */
    uint16_t reserved; /* 12 */
    uint16_t flags;    /* 14: 0 */
} __Triangle3ds;

/* One map slot of a material (264 bytes). */
typedef struct map3ds {
    char name[16]; /* 0: empty = no map */
    float amount;  /* 16: bump strength for the bump slot; sign inverts */
    uint8_t pad20[20];
    float scaleU, scaleV;   /* 40 */
    float offsetU, offsetV; /* 48 */
    uint8_t pad56[208];
} map3ds;

/* Map slots in material3ds.maps[] and the matching entries of the __Texture array. */
enum {
    PRISMCORE_MAP_SLOTS = 8,     /* slots at 100 + 264 k */
    PRISMCORE_TEXTURE_COUNT = 4, /* textures parallel to slots 0, 2, 3 and 7 */
    PRISMCORE_BUMP_SLOT = 3,     /* the slot at byte 892 */
    PRISMCORE_BUMP_TEXTURE = 2   /* its entry in the __Texture array */
};

typedef struct material3ds {
    char name[20];      /* 0 */
    float ambient[3];   /* 20: red, green, blue 0..1 (ambient term) */
    float diffuse[3];   /* 32: red, green, blue 0..1 */
    float specular[3];  /* 44 */
    float shininess;    /* 56: 0..15, higher is a tighter highlight */
    float shinStrength; /* 60: 0..50, 10 is a normal highlight */
    float reserved64;
    float transparency; /* 68: 0 opaque .. -1 fully transparent (sign ignored) */
    float reserved72;
    float selfIllum; /* 76: fraction of the diffuse colour that glows unlit */
    uint8_t pad80[20];
    map3ds maps[PRISMCORE_MAP_SLOTS]; /* 100: bump map at maps[PRISMCORE_BUMP_SLOT] (892) */
} material3ds;

/* Texture record. 32-bit layout (20 bytes): present 0, width 4, height 8, texels 12,
 * is16 16. A pointer at offset 12 would be misaligned on 64-bit, so 64-bit builds use
 * 24 bytes: present 0, width 4, height 8, is16 12, texels 16.
 * The bump texels are what the scene assembly makes from the 40 x 40 bump image of 3-byte
 * cells (one sample in the first byte of each cell): rows of width 4-component texels read
 * straight through that image (source row stride 3 x width bytes, or 3 x width / 2 16-bit
 * components) with components 0 and 2 exchanged. The library recovers the one sample per
 * cell from that packing. */
typedef struct __Texture {
    uint8_t present; /* 0: 1 = present */
    uint8_t pad1[3];
    int32_t width;  /* 4: texels */
    int32_t height; /* 8 */
#if UINTPTR_MAX > 0xFFFFFFFFu
    uint8_t is16; /* 12: 1 = 16-bit components */
    uint8_t pad13[3];
    const void* texels; /* 16 */
#else
    const void* texels; /* 12 */
    uint8_t is16;       /* 16 */
    uint8_t pad17[3];
#endif
} __Texture;

typedef struct light3ds {
    char name[12];     /* 0 */
    float position[3]; /* 12: scene units */
    float color[3];    /* 24: red, green, blue 0..1 */
    float multiplier;  /* 36 */
    uint8_t pad40[24];
} light3ds;

typedef struct GlassProp {
    uint8_t useGlass; /* 0: 1 = refract the source picture under the pattern */
    uint8_t pad1[3];
    float koefficient; /* 4: -10..10, share of the refracted picture (x 1/10);
                              negative shows the inverted picture */
    float refraction;  /* 8: offset of the picture along the normal, in units of
                              PRISMCORE_REFRACTION_PIXELS pixels; sign inverts */
    float aberration;  /* 12: 0..100, percent spread of the red and blue offsets */
} GlassProp;

/* Pixels of picture offset per unit of GlassProp.refraction for a fully tilted normal. */
#define PRISMCORE_REFRACTION_PIXELS 2.0f

/* Draw modes: 0 rough (flat lit fill), 1 hidden-line edges, 2 wire, 3 flat facets,
 * 6 Phong (full look); 8 and 9 draw as 6, anything else as 6. */
PRISMCORE_API void PRISMCORE_CALL __SetDrawMode(uint8_t mode);
/* 0: one sample per pixel; 1: anti-aliased edges (16 coverage samples). */
PRISMCORE_API void PRISMCORE_CALL __SetQuality(uint8_t level);
/* 0: byte components; 1: 16-bit components (full scale 32768). */
PRISMCORE_API void PRISMCORE_CALL __SetDeep(uint8_t deep);
PRISMCORE_API uint8_t PRISMCORE_CALL __GetDeep(void);
/* Refraction of the picture drawn so far is not supported: 0 only (the source is used). */
PRISMCORE_API void PRISMCORE_CALL __SetUseMultyRefract(uint8_t use);
/* 1: normals facing away from the viewer are flipped; 0: normals as given. */
PRISMCORE_API void PRISMCORE_CALL __SetDubleSide(uint8_t doubleSide);

/* Draws the scene into background (W x H pixels, rowLength components a row) over what it
 * holds, refracting source (same layout, a separate buffer). Nothing but background is
 * written. */
PRISMCORE_API void PRISMCORE_CALL __RasterScene(
    uint8_t* background, const uint8_t* source, int32_t width, int32_t height, int32_t rowLength,
    int32_t pointCount, int32_t triangleCount, const __Triangle3ds* triangles,
    const __Point3ds* points, int32_t centerX, int32_t centerY, int32_t materialCount,
    const material3ds* materials, const __Texture* textures, int32_t lightCount,
    const light3ds* lights, const GlassProp* glass);

#ifdef __cplusplus
} /* extern "C" */

#define PRISMCORE_CHECK_OFFSET(type, field, offset) \
    static_assert(offsetof(type, field) == (offset), #type "." #field)
PRISMCORE_CHECK_OFFSET(__Point3ds, x, 0);
PRISMCORE_CHECK_OFFSET(__Point3ds, y, 4);
PRISMCORE_CHECK_OFFSET(__Point3ds, z, 8);
PRISMCORE_CHECK_OFFSET(__Point3ds, used, 12);
PRISMCORE_CHECK_OFFSET(__Point3ds, u, 16);
PRISMCORE_CHECK_OFFSET(__Point3ds, v, 20);
PRISMCORE_CHECK_OFFSET(__Point3ds, flags, 24);
PRISMCORE_CHECK_OFFSET(__Point3ds, nx, 28);
PRISMCORE_CHECK_OFFSET(__Point3ds, ny, 32);
PRISMCORE_CHECK_OFFSET(__Point3ds, nz, 36);
static_assert(sizeof(__Point3ds) == 40, "__Point3ds size");
PRISMCORE_CHECK_OFFSET(__Triangle3ds, index, 0);
PRISMCORE_CHECK_OFFSET(__Triangle3ds, flags, 14);
static_assert(sizeof(__Triangle3ds) == 16, "__Triangle3ds size");
PRISMCORE_CHECK_OFFSET(map3ds, amount, 16);
PRISMCORE_CHECK_OFFSET(map3ds, scaleU, 40);
PRISMCORE_CHECK_OFFSET(map3ds, scaleV, 44);
PRISMCORE_CHECK_OFFSET(map3ds, offsetU, 48);
PRISMCORE_CHECK_OFFSET(map3ds, offsetV, 52);
static_assert(sizeof(map3ds) == 264, "map3ds size");
PRISMCORE_CHECK_OFFSET(material3ds, ambient, 20);
PRISMCORE_CHECK_OFFSET(material3ds, diffuse, 32);
PRISMCORE_CHECK_OFFSET(material3ds, specular, 44);
PRISMCORE_CHECK_OFFSET(material3ds, shininess, 56);
PRISMCORE_CHECK_OFFSET(material3ds, shinStrength, 60);
PRISMCORE_CHECK_OFFSET(material3ds, transparency, 68);
PRISMCORE_CHECK_OFFSET(material3ds, selfIllum, 76);
PRISMCORE_CHECK_OFFSET(material3ds, maps, 100);
PRISMCORE_CHECK_OFFSET(material3ds, maps[2], 628);
PRISMCORE_CHECK_OFFSET(material3ds, maps[PRISMCORE_BUMP_SLOT], 892);
PRISMCORE_CHECK_OFFSET(material3ds, maps[PRISMCORE_BUMP_SLOT].amount, 908);
PRISMCORE_CHECK_OFFSET(material3ds, maps[PRISMCORE_BUMP_SLOT].scaleU, 932);
PRISMCORE_CHECK_OFFSET(material3ds, maps[PRISMCORE_BUMP_SLOT].offsetU, 940);
PRISMCORE_CHECK_OFFSET(material3ds, maps[7], 1948);
static_assert(sizeof(material3ds) == 1948 + 264, "material3ds size");
PRISMCORE_CHECK_OFFSET(__Texture, present, 0);
PRISMCORE_CHECK_OFFSET(__Texture, width, 4);
PRISMCORE_CHECK_OFFSET(__Texture, height, 8);
#if UINTPTR_MAX > 0xFFFFFFFFu
PRISMCORE_CHECK_OFFSET(__Texture, is16, 12);
PRISMCORE_CHECK_OFFSET(__Texture, texels, 16);
static_assert(sizeof(__Texture) == 24, "__Texture size (64-bit)");
#else
PRISMCORE_CHECK_OFFSET(__Texture, texels, 12);
PRISMCORE_CHECK_OFFSET(__Texture, is16, 16);
static_assert(sizeof(__Texture) == 20, "__Texture size (32-bit)");
#endif
PRISMCORE_CHECK_OFFSET(light3ds, position, 12);
PRISMCORE_CHECK_OFFSET(light3ds, color, 24);
PRISMCORE_CHECK_OFFSET(light3ds, multiplier, 36);
static_assert(sizeof(light3ds) == 64, "light3ds size");
PRISMCORE_CHECK_OFFSET(GlassProp, useGlass, 0);
PRISMCORE_CHECK_OFFSET(GlassProp, koefficient, 4);
PRISMCORE_CHECK_OFFSET(GlassProp, refraction, 8);
PRISMCORE_CHECK_OFFSET(GlassProp, aberration, 12);
static_assert(sizeof(GlassProp) == 16, "GlassProp size");
#undef PRISMCORE_CHECK_OFFSET
#endif /* __cplusplus */

#endif /* PRISMCORE_PRISMCORE_H */
