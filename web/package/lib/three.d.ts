// Types of kelvar-hlr/three (three.js).
import type { Camera as ThreeCamera, Object3D } from 'three';
import type { DrawOptions, Drawing, FixedCamera, Mesh } from './index.js';

export declare function sceneMeshes(scene: Object3D): { meshes: Mesh[]; name: string };
export declare function cameraOf(camera: ThreeCamera): FixedCamera;
export declare function drawScene(scene: Object3D, camera: ThreeCamera, options?: DrawOptions): Promise<Drawing>;
