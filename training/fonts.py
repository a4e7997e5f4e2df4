"""Which fonts train the reader and which are kept for checking it.

Only fonts of these Debian packages are used, plus the project's own glyphs
and stencil digits drawn by kalvero-make-sample. The held-out families never
reach training or tuning other than as validation.

    python3 fonts.py training|held-out [FAMILY]   prints a comma-separated list
"""
import os
import subprocess
import sys

TRAINING_PACKAGES = ('fonts-dejavu-core', 'fonts-dejavu-extra', 'fonts-liberation',
                     'fonts-liberation2', 'fonts-croscore')
HELD_OUT_PACKAGES = ('fonts-lato', 'fonts-cantarell', 'fonts-league-spartan', 'fonts-hack')

# Drawn by the generator itself, named as such in its font lists ('hand'
# and 'block-stencil' come into crops drawn under conditions).
BUILT_IN = ('glyph', 'stencil', 'hand', 'block-stencil')

# Family of a font file, from the start of its file name.
_FAMILY_PREFIXES = (
    ('DejaVu', 'DejaVu'), ('Liberation', 'Liberation'), ('Arimo', 'Arimo'),
    ('Cousine', 'Cousine'), ('Tinos', 'Tinos'), ('Lato', 'Lato'),
    ('Cantarell', 'Cantarell'), ('LeagueSpartan', 'League Spartan'), ('Hack', 'Hack'),
)
HELD_OUT_FAMILIES = ('Lato', 'Cantarell', 'League Spartan', 'Hack')


def family(font):
    """A built-in name ('glyph', 'hand', ...) or a font path -> the family name used in reports."""
    if font in BUILT_IN:
        return font
    name = os.path.basename(font)
    for prefix, fam in _FAMILY_PREFIXES:
        if name.startswith(prefix):
            return fam
    return 'other'


def style(font):
    """Font file name without extension ('Lato-Bold'), or the built-in name."""
    if font in BUILT_IN:
        return font
    return os.path.splitext(os.path.basename(font))[0]


def package_fonts(package, lister=None):
    """The .ttf and .otf files a Debian package installed, sorted."""
    if lister is None:
        def lister(p):
            return subprocess.run(['dpkg-query', '-L', p], check=True, capture_output=True,
                                  text=True).stdout.splitlines()
    return sorted(f for f in lister(package) if f.endswith(('.ttf', '.otf')))


def training_fonts(lister=None):
    files = []
    for p in TRAINING_PACKAGES:
        files += package_fonts(p, lister)
    return files


def held_out_fonts(lister=None):
    files = []
    for p in HELD_OUT_PACKAGES:
        files += package_fonts(p, lister)
    return files


def main(argv):
    if len(argv) not in (1, 2) or argv[0] not in ('training', 'held-out'):
        print('usage: fonts.py training|held-out [FAMILY]', file=sys.stderr)
        return 2
    try:
        files = training_fonts() if argv[0] == 'training' else held_out_fonts()
    except (OSError, subprocess.CalledProcessError) as e:
        print('fonts.py: cannot list the font packages: %s' % e, file=sys.stderr)
        return 1
    if len(argv) == 2:
        files = [f for f in files if family(f) == argv[1]]
    if not files:
        print('fonts.py: no font files found for %s' % ' '.join(argv), file=sys.stderr)
        return 1
    print(','.join(files))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
