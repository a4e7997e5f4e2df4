import shutil
import unittest

from fonts import HELD_OUT_FAMILIES, family, held_out_fonts, training_fonts


class FontFamilies(unittest.TestCase):
    def test_families_from_file_names(self):
        cases = {'/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf': 'League Spartan',
                 '/usr/share/fonts/truetype/liberation2/LiberationSansNarrow-Bold.ttf': 'Liberation',
                 '/x/DejaVuSansMono.ttf': 'DejaVu', '/x/Cousine-Bold.ttf': 'Cousine',
                 '/x/Hack-Regular.ttf': 'Hack', 'glyph': 'glyph', 'stencil': 'stencil',
                 'hand': 'hand', 'block-stencil': 'block-stencil',
                 '/x/Unknown.ttf': 'other'}
        for path, fam in cases.items():
            self.assertEqual(family(path), fam, path)

    def test_lists_keep_only_font_files_of_the_packages(self):
        listing = {'fonts-lato': ['/usr/share/doc/fonts-lato', '/f/Lato-Bold.ttf', '/f/Lato-Thin.ttf'],
                   'fonts-cantarell': ['/f/Cantarell-Regular.otf'], 'fonts-league-spartan': [],
                   'fonts-hack': ['/f/Hack-Bold.ttf', '/f/README']}
        self.assertEqual(held_out_fonts(lambda p: listing[p]),
                         ['/f/Lato-Bold.ttf', '/f/Lato-Thin.ttf', '/f/Cantarell-Regular.otf', '/f/Hack-Bold.ttf'])

    @unittest.skipUnless(shutil.which('dpkg-query'), 'needs dpkg')
    def test_installed_training_and_held_out_fonts_do_not_mix(self):
        training = training_fonts()
        held_out = held_out_fonts()
        self.assertTrue(training and held_out)
        self.assertFalse({family(f) for f in training} & set(HELD_OUT_FAMILIES))
        self.assertEqual({family(f) for f in held_out}, set(HELD_OUT_FAMILIES))


class ThinWeights(unittest.TestCase):
    def test_light_and_thinner_weights_are_told_apart_from_the_rest(self):
        from report import is_thin
        thin = ['Lato-Hairline', 'Lato-LightItalic', 'LeagueSpartan-ExtraLight', 'Cantarell-Thin']
        rest = ['Lato-Regular', 'Hack-Italic', 'Cantarell-ExtraBold', 'LeagueSpartan-SemiBold', 'glyph']
        self.assertEqual([is_thin(s) for s in thin], [True] * 4)
        self.assertEqual([is_thin(s) for s in rest], [False] * 5)


if __name__ == '__main__':
    unittest.main()
