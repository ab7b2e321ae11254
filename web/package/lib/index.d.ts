// Types of kelvar-hlr (index.js).

export type Vec3 = [number, number, number] | Float64Array | Float32Array;

export interface Mesh {
    /** x, y, z of every vertex. */
    positions: Float32Array | Float64Array | number[];
    /** Three vertex indices a triangle. */
    indices: Uint32Array | number[];
    name?: string;
}

/** A mesh, meshes (a part each), or the bytes of an OBJ or binary STL file with its name. */
export type Input = Mesh | { meshes: Mesh[]; name?: string } | { file: ArrayBuffer | Uint8Array; name: string };

export interface FittedCamera {
    view?: string;
    eye?: Vec3;
    target?: Vec3;
    up?: Vec3;
    upAxis?: 'y' | 'z';
    /** Field of view in degrees; orthographic when left out. */
    perspective?: number;
    fill?: number;
}

export interface FixedCamera {
    /** 16 numbers, row by row. */
    modelView: ArrayLike<number>;
    projection: ArrayLike<number>;
    near: number;
    far: number;
}

export type CameraDescription = FittedCamera | FixedCamera;

export declare const Camera: {
    view(name?: string, options?: { upAxis?: 'y' | 'z'; perspective?: number; fill?: number }): FittedCamera;
    lookAt(eye: Vec3, target: Vec3, up?: Vec3, options?: { perspective?: number; fill?: number }): FittedCamera;
    perspective(fov: number, eye: Vec3, target: Vec3, up?: Vec3, options?: { fill?: number }): FittedCamera;
    fixed(camera: FixedCamera): FixedCamera;
};

export interface DrawOptions {
    hidden?: boolean;
    silhouettes?: boolean;
    sharp?: boolean;
    sharpAngle?: number;
    exact?: boolean;
    intersections?: boolean;
    /** 'front', 'x=0.5', ... or a plane; the viewer's side is taken away. */
    section?: string | { point: Vec3; normal: Vec3 };
    hatchSpacing?: number;
    hatchAngle?: number;
    /** A sheet's views: front, top, right, iso, section:A, ... */
    views?: string[];
    paper?: 'A4' | 'A3' | 'A2' | 'A1' | 'A0' | 'letter' | 'tabloid';
    orientation?: 'auto' | 'portrait' | 'landscape';
    /** '1:2', '2:1' or a factor. */
    scale?: string | number;
    units?: 'mm' | 'cm' | 'm' | 'in' | 'ft';
    margin?: number;
    gap?: number;
    projection?: 'first' | 'third';
    title?: boolean;
    style?: 'classic' | 'drafting';
    dashes?: 'style' | 'segments';
    /** Plotter order (the default for SVG and DXF) or the library's (the default for JSON). */
    order?: 'plotter' | 'library';
    /** The title block's date. */
    date?: string;
    /** Told the share done, 0 to 1; returning false cancels. */
    onProgress?: (share: number) => boolean | void;
    signal?: AbortSignal;
    /** Draw in a Web Worker (the default in browsers). */
    worker?: boolean;
    /** Hand the input's buffers to the worker rather than copy them. */
    transfer?: boolean;
}

export type LineKind = 'silhouettes' | 'hidden' | 'concave-sharp' | 'convex-sharp' | 'other-visible' |
    'intersections' | 'section' | 'hatching' | 'tangent';

export interface Line {
    kind: LineKind;
    /** x, y of every point, in the drawing plane's model units. */
    points: Float64Array;
}

export interface View {
    name: string;
    camera: { modelView: Float64Array; projection: Float64Array; near: number; far: number };
    kinds: Uint32Array;
    /** Line i's points are points[2 * starts[i] .. 2 * starts[i + 1]). */
    starts: Uint32Array;
    points: Float64Array;
}

export declare class Drawing {
    readonly views: View[];
    readonly lines: Line[];
    readonly camera: View['camera'];
    readonly notes: string[];
    toSVG(): Promise<string>;
    toDXF(): Promise<string>;
    toJSON(): Promise<string>;
    dispose(): void;
}

export declare const kindNames: Readonly<Record<number, LineKind>>;

export declare function draw(input: Input, camera?: CameraDescription, options?: DrawOptions): Promise<Drawing>;
/** Starts the next drawing's Web Worker and loads the module in it now (browsers; nothing in Node). */
export declare function warmUp(): void;
