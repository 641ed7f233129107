"""The tables of bench/photo-profile: a photo load's instructions (callgrind) and page faults and CPU time (perf),
per load, grouped by step, the loader beside its decoder floor.

usage: photo_profile.py FOLDER FILE CALLGRIND_LOADS PERF_LOADS FAULT_LOADS FAULT_PERIOD FLOOR_NAME
The instructions are (FILE.WAY.N.callgrind - FILE.WAY.0.callgrind) / N, the perf figures (FILE.WAY.N+1 - FILE.WAY.1)
/ N (the files are named by the loads after the first), each recorded page fault standing for FAULT_PERIOD.
"""
import collections
import os
import re
import sys

folder, file, loads, perf_loads, fault_loads, period, floor_name = sys.argv[1:8]
loads, perf_loads, fault_loads, period = int(loads), int(perf_loads), int(fault_loads), int(period)
M = 1e6

STEPS = [
    ('read', 'reading the file'),
    ('setup', 'header and set-up (markers, Exif, boxes, tables, decoder objects)'),
    ('decode', 'entropy decoding and IDCT (JPEG), HEVC decoding (libde265)'),
    ('colour', 'colour conversion (and upsampling)'),
    ('picture', "the picture's allocation"),
    ('scale', 'scaling to the frame (and converting the small result)'),
    ('trim', 'malloc_trim, and reading the resident size'),
    ('else', 'anything else'),
]

# Functions that their libraries keep hidden, known by their place in Debian 12's builds (libjpeg62-turbo and
# libturbojpeg0 1:2.1.5-2, the same code; libqt6gui6 6.4.2): where libjpeg's per-row post-processing (upsampling and
# colour conversion) starts, TurboJPEG's own jpeg_read_scanlines, and the part of Qt's smooth scaling that runs on
# Qt's thread pool, whose callers are the pool's threads. With other builds these fall to their callers' steps.
ANCHORS = {
    ('libjpeg.so.62.3.0', '0x000000000002c170'): 'colour',
    ('libturbojpeg.so.0.2.0', '0x000000000002c070'): 'colour',
    ('libturbojpeg.so.0.2.0', '0x000000000001c120'): 'decode',
    ('libQt6Gui.so.6.4.2', '0x0000000000453870'): 'scale',
}
NAME_RULES = [
    ('trim', r'^(malloc_trim|mtrim|madvise|photo::.*::(residentBytes|trimWhenGrown))'),
    ('read', r'^(QFile|QFileDevice|QFileInfo|QIODevice|QFSFileEngine|QFileSystemEngine|QRingBuffer|QAbstractFileEngine|'
             r'QFileDevicePrivate|QIODevicePrivate|\(anonymous namespace\)::readFile|photo::.*::(fillInput|skipInput|'
             r'readFrom|seekTo|positionOf|wait)|std::(basic_ifstream|basic_istream|basic_filebuf|basic_streambuf|'
             r'__basic_file)|(__libc_|__GI___libc_|__)?read$|open(at)?(64)?$|__libc_open|close$|fstat|statx|lseek)'),
    ('setup', r'^(jpeg_(CreateDecompress|destroy|read_header|consume_input|start_decompress|finish_decompress|'
              r'calc_output_dimensions|save_markers|std_error|resync_to_restart|mem_src|core_output_dimensions|'
              r'make_d_derived_tbl)|jinit_|jpeg_abort|jround_up|jdiv_round_up|exif_|tj(Init|Destroy|DecompressHeader|'
              r'GetScalingFactors|Decompress2)|heif_(context_|image_handle_|check_filetype|decoding_options)|'
              r'photo::.*(withinLimits|chooseScale|exifTransformations|primaryPicture|coveringThumbnail|thumbnailIds|'
              r'isHeif|decodeJpeg|decodeHeif|heif\(\))|(\(anonymous namespace\)::)?(turboJpegFloor|libheifFloor))'),
    ('decode', r'^(jpeg_read_scanlines|jpeg_idct|jpeg_huff_decode|jpeg_fill_bit_buffer|jzero_far|de265_|'
               r'photo::.*::run\()'),
    ('colour', r'^heif_decode_image'),
    # The floors' output buffers are std::vectors, made and zeroed inline in bench_photo's loadOnce.
    ('picture', r'^(QImage::QImage\(int, int|QImage::QImage\(QSize|QImageData::create|QImage::scanLine|QImage::bits|'
                r'heif_image_(create|add_plane)|\(anonymous namespace\)::loadOnce)'),
    ('scale', r'^(QImage::(scaled|smoothScaled|transformed|mirrored|convertTo|convertToFormat|copy|'
              r'setDevicePixelRatio)|QImageData::convertInPlace|qSmoothScaleImage|qt_qimageScale|qt_convert|convert_|'
              r'qSmoothScale|QImage::(convertToFormat_helper|convertToFormat_inplace))'),
]
OBJECT_RULES = [('decode', r'^libde265')]
# Shared helpers charge their own cost to whoever calls them.
HELPERS = r'^(libc\.so|libm\.so|libstdc\+\+|libgcc_s|libz\.so|ld-linux|vgpreload)'
UNNAMED = re.compile(r"^0x[0-9a-f]+('\d+)?$")


def parse(path):
    """Self cost per (object, function) and calls per (caller, callee) from callgrind's raw records."""
    names = {'ob': {}, 'fl': {}, 'fn': {}}

    def name(kind, text):
        match = re.match(r'\((\d+)\)(?: (.*))?$', text)
        if not match:
            return text
        if match.group(2) is not None:
            names[kind][match.group(1)] = match.group(2)
        return names[kind][match.group(1)]

    self_cost = collections.Counter()
    calls = collections.defaultdict(lambda: [0, 0])
    ob = fn = cob = cfn = None
    pending = 0
    for line in open(path, encoding='utf-8', errors='replace'):
        head = line[:1]
        if head.isdigit() or head in '+-*':
            fields = line.split()
            cost = int(fields[1]) if len(fields) > 1 else 0
            if pending:
                entry = calls[((ob, fn), (cob or ob, cfn))]
                entry[0] += pending
                entry[1] += cost
                pending, cob = 0, None
            else:
                self_cost[(ob, fn)] += cost
        elif line.startswith('fn='):
            fn = name('fn', line[3:].rstrip('\n'))
        elif line.startswith('ob='):
            ob = name('ob', line[3:].rstrip('\n'))
        elif line.startswith('cob='):
            cob = name('ob', line[4:].rstrip('\n'))
        elif line.startswith('cfn='):
            cfn = name('fn', line[4:].rstrip('\n'))
        elif line.startswith('calls='):
            pending = int(line[6:].split()[0])
        elif line.startswith(('fl=', 'fi=', 'fe=', 'cfi=', 'cfl=')):
            name('fl', line.split('=', 1)[1].rstrip('\n'))
    return self_cost, calls


def classify(obj, function):
    """The step of a function by its name, place or object, or None when its callers must decide."""
    lib = os.path.basename(obj or '')
    base = re.sub(r"'\d+$", '', function or '')
    if (lib, base) in ANCHORS:
        return ANCHORS[(lib, base)]
    if not UNNAMED.match(base):
        for step, pattern in NAME_RULES:
            if re.search(pattern, base):
                return step
    for step, pattern in OBJECT_RULES:
        if re.search(pattern, lib):
            return step
    if UNNAMED.match(base) or re.search(HELPERS, lib):
        return None
    return 'else'


def attribute(self_cost, calls):
    """Instructions per step: each function's own, or its callers' steps weighted by what their calls cost."""
    callers = collections.defaultdict(list)
    for (caller, callee), (_, cost) in calls.items():
        if caller != callee and cost > 0:
            callers[callee].append((caller, cost))
    share, follow = {}, []
    for key in set(self_cost) | {callee for _, callee in calls} | {caller for caller, _ in calls}:
        step = classify(*key)
        share[key] = {step or 'else': 1.0}
        if step is None:
            follow.append(key)
    for _ in range(200):
        change = 0.0
        for key in follow:
            weights = callers.get(key)
            if not weights:
                continue
            whole = sum(cost for _, cost in weights)
            mixed = collections.Counter()
            for caller, cost in weights:
                for step, part in share[caller].items():
                    mixed[step] += part * cost / whole
            change = max(change, max(abs(mixed[s] - share[key].get(s, 0.0)) for s in set(mixed) | set(share[key])))
            share[key] = dict(mixed)
        if change < 1e-9:
            break
    totals = collections.Counter()
    for key, cost in self_cost.items():
        for step, part in share[key].items():
            totals[step] += cost * part
    return totals


def per_load(way):
    """Instructions per step of one load: the difference between the runs of 1 + N loads and of 1."""
    one = attribute(*parse(os.path.join(folder, f'{file}.{way}.0.callgrind')))
    many = attribute(*parse(os.path.join(folder, f'{file}.{way}.{loads}.callgrind')))
    return {step: (many[step] - one[step]) / loads for step, _ in STEPS}


def stat(way, count):
    values = {}
    for line in open(os.path.join(folder, f'{file}.{way}.{count}.stat'), encoding='utf-8'):
        fields = line.strip().split(',')
        if len(fields) > 2 and fields[0] and fields[0][0].isdigit():
            values[fields[2]] = float(fields[0])
    return values


def fault_steps(way, count):
    """Page faults per step, by the first frame of each fault's user-space stack that tells: a named function of a
    step, or a decoder's hidden code (what it writes: the picture, its working memory); the C library's memset and
    memcpy pass the fault to their callers."""
    counts = collections.Counter()
    text = open(os.path.join(folder, f'{file}.{way}.{count}.stacks'), encoding='utf-8', errors='replace').read()
    for sample in text.split('\n\n'):
        step = None
        for frame in sample.strip().splitlines():
            match = re.match(r'\s*([0-9a-f]+)\s+(.*?)\s+\((.*)\)$', frame)
            if not match or 'kernel.kallsyms' in match.group(3):
                continue
            symbol, obj = re.sub(r'\+0x[0-9a-f]+$', '', match.group(2)), match.group(3)
            if symbol == '[unknown]':
                if re.search(r'lib(jpeg|turbojpeg|heif|de265)', obj):
                    step = 'decoder'
                    break
                continue
            found = classify(obj, symbol)
            if found is not None and not (found == 'else' and re.search(r'std::|__gnu_cxx', symbol)):
                step = 'decoder' if found in ('decode', 'colour') else found
                break
        counts[step or 'else'] += period
    return counts


data = {way: per_load(way) for way in ('loader', 'floor')}
stats = {way: (stat(way, 1), stat(way, perf_loads + 1)) for way in ('loader', 'floor')}
faults = {way: (fault_steps(way, 1), fault_steps(way, fault_loads + 1)) for way in ('loader', 'floor')}


def cell(value, digits=2):
    return f'{value:,.{digits}f}'


print(f'\n## {file}: one load, the loader against {floor_name}\n')
print(f'Instructions (callgrind `Ir`, millions) per load, from {loads + 1} loads less 1; each function\'s own '
      'instructions go to its step by name (a hidden function to its callers\' steps, in proportion to what their '
      'calls cost; the C library\'s memset, memcpy and malloc to their callers).\n')
print(f'| step | loader | {floor_name} | difference |')
print('| --- | ---: | ---: | ---: |')
for step, label in STEPS:
    a, b = data['loader'][step] / M, data['floor'][step] / M
    print(f'| {label} | {cell(a)} | {cell(b)} | {cell(a - b)} |')
a, b = sum(data['loader'].values()) / M, sum(data['floor'].values()) / M
print(f'| **total** | **{cell(a)}** | **{cell(b)}** | **{cell(a - b)} ({(a / b - 1) * 100:+.1f} %)** |')

print(f'\nWhat callgrind cannot see (perf stat, per load, from {perf_loads + 2} loads less 2), and where the page '
      f'faults happen (perf record -e page-faults, {fault_loads + 2} loads less 2, by the first frame of each fault\'s '
      'stack that tells'
      + (f'; every {period}th fault recorded' if period > 1 else '') + '):\n')
print(f'| per load | loader | {floor_name} | difference |')
print('| --- | ---: | ---: | ---: |')
for event, label, scale, digits in (('task-clock', 'task-clock (ms)', 1, 2), ('user_time', 'user time (ms)', 1e6, 2),
                                    ('system_time', 'system time (ms)', 1e6, 2),
                                    ('page-faults', 'page faults', 1, 0)):
    a, b = ((s[1].get(event, 0) - s[0].get(event, 0)) / perf_loads / scale for s in (stats['loader'], stats['floor']))
    print(f'| {label} | {cell(a, digits)} | {cell(b, digits)} | {cell(a - b, digits)} |')
places = [('read', 'reading the file (the read into its buffer)'),
          ('decoder', "inside the decoder (the picture it writes, its working memory)"),
          ('picture', "the picture's allocation"), ('scale', 'scaling to the frame'), ('trim', 'malloc_trim'),
          ('setup', 'header and set-up'), ('decode', 'decoding'), ('colour', 'colour conversion'),
          ('else', 'elsewhere')]
for step, label in places:
    a, b = ((f[1][step] - f[0][step]) / fault_loads for f in (faults['loader'], faults['floor']))
    if abs(a) >= 0.5 or abs(b) >= 0.5:
        print(f'| page faults: {label} | {cell(a, 0)} | {cell(b, 0)} | {cell(a - b, 0)} |')
