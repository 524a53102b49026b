#!/usr/bin/python3
"""Writes Vormex's sample drawings into the folder of this script, each as DXF and as DWG.

    /usr/bin/python3 examples/generate.py             # DXF samples, then their DWG twins
    /usr/bin/python3 examples/generate.py --dwg-only  # DWG twins of the DXF samples as they are

Needs Debian's python3-ezdxf. The DWG twins (R2000, with a preview image) are written by
Vormex's own writer, build/tools/vormex-dwg-write (`cmake --build build --target
vormex-dwg-write`; another place can be given in the environment variable
VORMEX_DWG_WRITE); without it only the DXF files are written. The drawings are made to exercise what a batch plot
meets in practice: model-space drawings with text, dimensions and hatches, a drawing
with two paper-space layouts and viewports, and a project folder whose external
reference was moved with its folder tree, so that the stored reference path no longer
leads to the file and the reference has to be found again near the drawing.
"""

import glob
import math
import os
import shutil
import subprocess
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

HERE = os.path.dirname(os.path.abspath(__file__))
DXFVERSION = "R2000"


def new_drawing(units=4):
    doc = ezdxf.new(DXFVERSION, setup=True)
    doc.units = units  # 4 = millimetres
    doc.header["$MEASUREMENT"] = 1
    doc.header["$LTSCALE"] = 1.0
    for style in doc.dimstyles:
        style.dxf.dimlfac = 1.0  # drawing units are millimetres, measured as they stand
        style.dxf.dimdec = 0
    return doc


def layers(doc, specs):
    for name, color, linetype, lineweight in specs:
        if name not in doc.layers:
            doc.layers.add(name, color=color, linetype=linetype, lineweight=lineweight)


def title_block(doc, name="TITLE"):
    """A block with attribute definitions for a drawing's title block (A3 landscape)."""
    blk = doc.blocks.new(name=name)
    blk.add_lwpolyline([(0, 0), (180, 0), (180, 40), (0, 40)], close=True,
                       dxfattribs={"lineweight": 50})
    blk.add_line((0, 20), (180, 20))
    blk.add_line((110, 0), (110, 40))
    blk.add_text("VORMEX SAMPLE", dxfattribs={"height": 5, "style": "OpenSans"}).set_placement(
        (5, 27))
    blk.add_attdef("TITLE", (5, 7), dxfattribs={"height": 4, "prompt": "Title"})
    blk.add_attdef("SCALE", (115, 27), dxfattribs={"height": 3.5, "prompt": "Scale"})
    blk.add_attdef("SHEET", (115, 7), dxfattribs={"height": 3.5, "prompt": "Sheet"})
    return blk


def page(layout, paper, width, height, margins=(7.5, 7.5, 7.5, 7.5), rotation=0, scale=(1, 1)):
    """Plot settings of a layout: `paper` is the ISO name, e.g. "ISO_A3"; the stored name
    gets the size appended, as canonical media names have it."""
    layout.page_setup(size=(width, height), margins=margins, units="mm", rotation=rotation,
                      scale=scale, name=paper, device="PDF.pc3")


def floor_plan():
    doc = new_drawing()
    layers(doc, [
        ("WALLS", 7, "Continuous", 50),
        ("DOORS", 3, "Continuous", 25),
        ("WINDOWS", 4, "Continuous", 18),
        ("AXES", 1, "CENTER", 13),
        ("TEXT", 2, "Continuous", 18),
        ("DIMENSIONS", 6, "Continuous", 13),
        ("HATCH", 8, "Continuous", 9),
        ("FURNITURE", 5, "DASHED", 13),
    ])
    msp = doc.modelspace()
    # Outer and inner walls as closed polylines, 250 mm thick.
    outer = [(0, 0), (12000, 0), (12000, 8000), (0, 8000)]
    inner = [(250, 250), (11750, 250), (11750, 7750), (250, 7750)]
    msp.add_lwpolyline(outer, close=True, dxfattribs={"layer": "WALLS"})
    msp.add_lwpolyline(inner, close=True, dxfattribs={"layer": "WALLS"})
    msp.add_line((6000, 250), (6000, 7750), dxfattribs={"layer": "WALLS"})
    msp.add_line((6250, 250), (6250, 7750), dxfattribs={"layer": "WALLS"})
    msp.add_line((6250, 4000), (11750, 4000), dxfattribs={"layer": "WALLS"})
    # Walls hatched with the brick pattern between outer and inner outline.
    hatch = msp.add_hatch(color=256, dxfattribs={"layer": "HATCH"})
    hatch.set_pattern_fill("ANSI31", scale=40.0)
    hatch.paths.add_polyline_path(outer, is_closed=True, flags=1)
    hatch.paths.add_polyline_path(inner, is_closed=True, flags=16)
    # A door block: leaf and swing.
    door = doc.blocks.new(name="DOOR900")
    door.add_line((0, 0), (0, 900))
    door.add_arc((0, 0), 900, 0, 90)
    for x, y, angle in [(2000, 250, 0), (6250, 2000, 90), (8000, 4000, 0), (9000, 7750, 270)]:
        msp.add_blockref("DOOR900", (x, y), dxfattribs={"layer": "DOORS", "rotation": angle})
    # Windows as an array of a small block.
    win = doc.blocks.new(name="WINDOW1200")
    win.add_lwpolyline([(0, 0), (1200, 0), (1200, 250), (0, 250)], close=True)
    win.add_line((0, 125), (1200, 125))
    ref = msp.add_blockref("WINDOW1200", (1500, 7750), dxfattribs={"layer": "WINDOWS"})
    ref.dxf.column_count = 3
    ref.dxf.column_spacing = 3000
    # Axes with a centre line type.
    for x in (125, 6125, 11875):
        msp.add_line((x, -1000), (x, 9000), dxfattribs={"layer": "AXES"})
    # Furniture: a table with chairs, a round table, an ellipse-shaped bath.
    msp.add_lwpolyline([(1500, 1500), (3500, 1500), (3500, 2500), (1500, 2500)], close=True,
                       dxfattribs={"layer": "FURNITURE"})
    msp.add_circle((9000, 2000), 600, dxfattribs={"layer": "FURNITURE"})
    msp.add_ellipse((9000, 6000), major_axis=(900, 0), ratio=0.45,
                    dxfattribs={"layer": "FURNITURE"})
    # Room names and a note.
    for text, x, y in [("LIVING", 3000, 4000), ("KITCHEN", 9000, 2400), ("BATH", 9000, 5000)]:
        msp.add_text(text, dxfattribs={"layer": "TEXT", "height": 250}).set_placement(
            (x, y), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_mtext("GROUND FLOOR\\PScale 1:100 - all dimensions in mm",
                  dxfattribs={"layer": "TEXT", "char_height": 200, "insert": (0, -1500),
                              "width": 8000})
    # Dimensions.
    msp.add_linear_dim(base=(0, -600), p1=(0, 0), p2=(12000, 0),
                       dxfattribs={"layer": "DIMENSIONS"},
                       override={"dimtxt": 200, "dimasz": 150, "dimexo": 60}).render()
    msp.add_linear_dim(base=(12600, 0), p1=(12000, 0), p2=(12000, 8000), angle=90,
                       dxfattribs={"layer": "DIMENSIONS"},
                       override={"dimtxt": 200, "dimasz": 150}).render()
    msp.add_radius_dim(center=(9000, 2000), radius=600, angle=45,
                       dxfattribs={"layer": "DIMENSIONS"},
                       override={"dimtxt": 150, "dimasz": 120}).render()
    doc.saveas(os.path.join(HERE, "floor-plan.dxf"))


def flange():
    doc = new_drawing()
    layers(doc, [
        ("OUTLINE", 7, "Continuous", 50),
        ("CENTER", 1, "CENTER", 18),
        ("HIDDEN", 5, "HIDDEN", 18),
        ("SECTION", 8, "Continuous", 13),
        ("DIMS", 3, "Continuous", 13),
        ("NOTES", 2, "Continuous", 18),
    ])
    msp = doc.modelspace()
    cx, cy = 0.0, 0.0
    msp.add_circle((cx, cy), 60, dxfattribs={"layer": "OUTLINE"})
    msp.add_circle((cx, cy), 25, dxfattribs={"layer": "OUTLINE"})
    msp.add_circle((cx, cy), 45, dxfattribs={"layer": "CENTER"})
    for i in range(6):
        a = math.radians(i * 60)
        msp.add_circle((cx + 45 * math.cos(a), cy + 45 * math.sin(a)), 5,
                       dxfattribs={"layer": "OUTLINE"})
    msp.add_line((-70, 0), (70, 0), dxfattribs={"layer": "CENTER"})
    msp.add_line((0, -70), (0, 70), dxfattribs={"layer": "CENTER"})
    # Section view to the right, hatched.
    sx = 120
    outline = [(sx, -60), (sx + 20, -60), (sx + 20, -25), (sx + 10, -25), (sx + 10, 25),
               (sx + 20, 25), (sx + 20, 60), (sx, 60)]
    msp.add_lwpolyline(outline, close=True, dxfattribs={"layer": "OUTLINE"})
    hatch = msp.add_hatch(color=256, dxfattribs={"layer": "SECTION"})
    hatch.set_pattern_fill("ANSI31", scale=1.0)
    hatch.paths.add_polyline_path(outline, is_closed=True)
    msp.add_line((sx - 10, 0), (sx + 30, 0), dxfattribs={"layer": "CENTER"})
    msp.add_line((sx, -45), (sx + 20, -45), dxfattribs={"layer": "HIDDEN"})
    msp.add_line((sx, 45), (sx + 20, 45), dxfattribs={"layer": "HIDDEN"})
    # A spline cam profile and an elliptical arc.
    msp.add_spline(fit_points=[(-60, -110), (-30, -95), (0, -100), (30, -90), (60, -110)],
                   dxfattribs={"layer": "OUTLINE"})
    msp.add_ellipse((0, -140), major_axis=(50, 0), ratio=0.4, start_param=0,
                    end_param=math.pi, dxfattribs={"layer": "OUTLINE"})
    # Dimensions.
    msp.add_diameter_dim(center=(cx, cy), radius=60, angle=30, dxfattribs={"layer": "DIMS"},
                         override={"dimtxt": 3.5, "dimasz": 2.5}).render()
    msp.add_radius_dim(center=(cx, cy), radius=25, angle=135, dxfattribs={"layer": "DIMS"},
                       override={"dimtxt": 3.5, "dimasz": 2.5}).render()
    msp.add_linear_dim(base=(sx, 72), p1=(sx, 60), p2=(sx + 20, 60),
                       dxfattribs={"layer": "DIMS"},
                       override={"dimtxt": 3.5, "dimasz": 2.5}).render()
    msp.add_aligned_dim(p1=(sx + 20, -60), p2=(sx + 20, 60), distance=12,
                        dxfattribs={"layer": "DIMS"},
                        override={"dimtxt": 3.5, "dimasz": 2.5}).render()
    msp.add_text("FLANGE DN100  %%c120  6 x %%c10 ON PCD %%c90  TOL %%p0.1",
                 dxfattribs={"layer": "NOTES", "height": 5}).set_placement((-60, 90))
    msp.add_text("CHAMFER 1 x 45%%d", dxfattribs={"layer": "NOTES", "height": 3.5}
                 ).set_placement((sx - 10, -75))
    doc.saveas(os.path.join(HERE, "flange.dxf"))


def site_with_layouts():
    """Model space with a site plan, two paper-space layouts with viewports."""
    doc = new_drawing()
    layers(doc, [
        ("BOUNDARY", 1, "DASHDOT", 35),
        ("BUILDINGS", 7, "Continuous", 50),
        ("ROADS", 8, "Continuous", 25),
        ("TREES", 3, "Continuous", 13),
        ("LABELS", 2, "Continuous", 18),
        ("GRID", 9, "Continuous", 9),
        ("VIEWPORTS", 4, "Continuous", 13),
    ])
    doc.layers.get("VIEWPORTS").dxf.plot = 0
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0), (80000, 0), (90000, 30000), (60000, 55000), (5000, 50000)],
                       close=True, dxfattribs={"layer": "BOUNDARY"})
    for x, y, w, h in [(10000, 10000, 15000, 10000), (35000, 15000, 12000, 20000),
                       (55000, 8000, 18000, 9000)]:
        msp.add_lwpolyline([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], close=True,
                           dxfattribs={"layer": "BUILDINGS"})
        hatch = msp.add_hatch(color=253, dxfattribs={"layer": "BUILDINGS"})
        hatch.paths.add_polyline_path([(x, y), (x + w, y), (x + w, y + h), (x, y + h)])
    msp.add_lwpolyline([(-5000, 27000), (30000, 27000), (50000, 40000), (95000, 40000)],
                       dxfattribs={"layer": "ROADS", "const_width": 600})
    tree = doc.blocks.new(name="TREE")
    tree.add_circle((0, 0), 1500)
    tree.add_line((-1000, 0), (1000, 0))
    tree.add_line((0, -1000), (0, 1000))
    for i in range(12):
        msp.add_blockref("TREE", (6000 + i * 6000, 45000 - (i % 3) * 3000),
                         dxfattribs={"layer": "TREES"})
    for x in range(0, 90001, 10000):
        msp.add_line((x, -2000), (x, 57000), dxfattribs={"layer": "GRID"})
    for label, x, y in [("HOUSE A", 17500, 15000), ("HALL", 41000, 25000),
                        ("GARAGE", 64000, 12500)]:
        msp.add_text(label, dxfattribs={"layer": "LABELS", "height": 1200}).set_placement(
            (x, y), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_linear_dim(base=(0, -4000), p1=(0, 0), p2=(80000, 0),
                       dxfattribs={"layer": "LABELS"},
                       override={"dimtxt": 1000, "dimasz": 800}).render()

    title_block(doc)
    # Layout 1: the whole site on A3, one viewport at 1:500.
    plan = doc.layouts.new("Site Plan A3")
    page(plan, "ISO_A3", 420, 297)
    plan.add_viewport(center=(200, 155), size=(380, 250), view_center_point=(45000, 27500),
                      view_height=62500, dxfattribs={"layer": "VIEWPORTS"})
    ref = plan.add_blockref("TITLE", (232, 12))
    ref.add_auto_attribs({"TITLE": "SITE PLAN", "SCALE": "1:250", "SHEET": "1/2"})
    # Layout 2: two detail viewports on A4 portrait, the grid frozen in one of them.
    det = doc.layouts.new("Details A4")
    page(det, "ISO_A4", 210, 297)
    vp1 = det.add_viewport(center=(105, 210), size=(180, 120), view_center_point=(17500, 15000),
                           view_height=14000, dxfattribs={"layer": "VIEWPORTS"})
    vp1.frozen_layers = ["GRID"]
    det.add_viewport(center=(105, 85), size=(180, 110), view_center_point=(41000, 25000),
                     view_height=24000, dxfattribs={"layer": "VIEWPORTS"})
    det.add_text("DETAILS", dxfattribs={"height": 6}).set_placement((15, 280))
    doc.layouts.delete("Layout1")
    doc.saveas(os.path.join(HERE, "site-layouts.dxf"))


def text_sampler():
    doc = new_drawing()
    doc.styles.new("ROMANS", dxfattribs={"font": "romans.shx"})
    doc.styles.new("TXT", dxfattribs={"font": "txt.shx"})
    doc.styles.new("ARIAL", dxfattribs={"font": "arial.ttf"})
    doc.styles.new("WIDE", dxfattribs={"font": "simplex.shx", "width": 1.5})
    msp = doc.modelspace()
    y = 0
    for style in ("Standard", "ROMANS", "TXT", "ARIAL", "WIDE"):
        msp.add_text("%s: The quick brown fox 0123456789 %%%%d=%%d %%%%p=%%p %%%%c=%%c" % style,
                     dxfattribs={"style": style, "height": 5}).set_placement((0, y))
        y -= 10
    for i, align in enumerate([TextEntityAlignment.LEFT, TextEntityAlignment.CENTER,
                               TextEntityAlignment.RIGHT, TextEntityAlignment.MIDDLE_CENTER,
                               TextEntityAlignment.TOP_RIGHT]):
        px, py = 60 * i, -70
        msp.add_point((px, py))
        msp.add_text(align.name, dxfattribs={"height": 4}).set_placement((px, py), align=align)
    msp.add_text("ROTATED 30", dxfattribs={"height": 5, "rotation": 30}).set_placement((0, -110))
    msp.add_mtext("{\\fArial|b1;Bold Arial} and {\\C1;red} text\\P"
                  "Second paragraph with \\H2x;double height\\H0.5x; and a line\\~break.\\P"
                  "Stacked \\S1/2; and \\LUnderlined\\l.",
                  dxfattribs={"char_height": 4, "insert": (80, -100), "width": 120})
    doc.header["$PDMODE"] = 34
    doc.header["$PDSIZE"] = 2
    doc.saveas(os.path.join(HERE, "text-styles.dxf"))


def moved_xref_project():
    """A project whose folder tree moved: the stored reference path is the old location."""
    root = os.path.join(HERE, "moved-project")
    if os.path.isdir(root):
        shutil.rmtree(root)
    dwg = os.path.join(root, "Projects", "Job1", "Dwg")
    xref = os.path.join(root, "Projects", "Job1", "Xref")
    os.makedirs(dwg)
    os.makedirs(xref)

    base = new_drawing()
    layers(base, [("GRIDLINES", 8, "Continuous", 13), ("COLUMNS", 7, "Continuous", 35)])
    bmsp = base.modelspace()
    for i in range(7):
        bmsp.add_line((i * 5000, -1000), (i * 5000, 21000), dxfattribs={"layer": "GRIDLINES"})
        bmsp.add_text(chr(ord("A") + i), dxfattribs={"layer": "GRIDLINES", "height": 600}
                      ).set_placement((i * 5000, 21500), align=TextEntityAlignment.BOTTOM_CENTER)
    for j in range(5):
        bmsp.add_line((-1000, j * 5000), (31000, j * 5000), dxfattribs={"layer": "GRIDLINES"})
    for i in range(7):
        for j in range(5):
            bmsp.add_lwpolyline([(i * 5000 - 200, j * 5000 - 200), (i * 5000 + 200, j * 5000 - 200),
                                 (i * 5000 + 200, j * 5000 + 200), (i * 5000 - 200, j * 5000 + 200)],
                                close=True, dxfattribs={"layer": "COLUMNS"})
    base.saveas(os.path.join(xref, "structure-grid.dxf"))

    main = new_drawing()
    layers(main, [("ROOMS", 7, "Continuous", 35), ("NAMES", 2, "Continuous", 18)])
    # Stored where the project lay before it was moved.
    main.add_xref_def(r"C:\Projects\Job1\Xref\structure-grid.dxf", "structure-grid")
    mmsp = main.modelspace()
    mmsp.add_blockref("structure-grid", (0, 0))
    for x, y, w, h, name in [(0, 0, 10000, 10000, "OFFICE 1"), (10000, 0, 10000, 10000, "OFFICE 2"),
                             (20000, 0, 10000, 20000, "HALL")]:
        mmsp.add_lwpolyline([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], close=True,
                            dxfattribs={"layer": "ROOMS"})
        mmsp.add_text(name, dxfattribs={"layer": "NAMES", "height": 500}).set_placement(
            (x + w / 2, y + h / 2), align=TextEntityAlignment.MIDDLE_CENTER)
    main.saveas(os.path.join(dwg, "office-level1.dxf"))


def legacy_r12():
    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 0))
    msp.add_line((100, 0), (100, 60))
    msp.add_arc((50, 60), 50, 0, 180)
    msp.add_line((0, 60), (0, 0))
    msp.add_circle((50, 60), 15)
    msp.add_text("R12 DRAWING", dxfattribs={"height": 6}).set_placement((20, 20))
    msp.add_polyline2d([(10, 5), (30, 15), (50, 5), (70, 15), (90, 5)])
    doc.saveas(os.path.join(HERE, "bracket-r12.dxf"))


# The DWG twin of the moved project's main drawing refers to the DWG twin of the grid, at
# the path where the project lay before it was moved.
XREF_PATHS = {
    "office-level1.dxf": ["structure-grid=C:\\Projects\\Job1\\Xref\\structure-grid.dwg"],
}


def dwg_writer():
    path = os.environ.get("VORMEX_DWG_WRITE") or os.path.join(
        HERE, os.pardir, "build", "tools", "vormex-dwg-write")
    return path if os.path.isfile(path) and os.access(path, os.X_OK) else None


def dwg_twins():
    """Writes a .dwg beside every sample .dxf; returns False when the writer is missing."""
    writer = dwg_writer()
    if writer is None:
        print("generate.py: vormex-dwg-write not found (build the target vormex-dwg-write or set "
              "VORMEX_DWG_WRITE); the DWG twins were not written", file=sys.stderr)
        return False
    for dxf in sorted(glob.glob(os.path.join(HERE, "**", "*.dxf"), recursive=True)):
        args = [writer]
        for xref in XREF_PATHS.get(os.path.basename(dxf), []):
            args += ["--xref-path", xref]
        subprocess.run(args + [dxf, os.path.splitext(dxf)[0] + ".dwg"], check=True)
    return True


def main():
    if "--dwg-only" not in sys.argv[1:]:
        floor_plan()
        flange()
        site_with_layouts()
        text_sampler()
        moved_xref_project()
        legacy_r12()
    if not dwg_twins():
        sys.exit(1 if "--dwg-only" in sys.argv[1:] else 0)


if __name__ == "__main__":
    main()
